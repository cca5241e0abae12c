// A temporary directory of the running test's own, removed with everything in
// it when the object goes out of scope.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tessok::test {

class ScratchDirectory {
 public:
  ScratchDirectory() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::filesystem::temp_directory_path() /
            ("tessok-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // The directory as the library takes it: ending in its separator.
  std::string Dir() const { return root_.string() + "/"; }
  std::filesystem::path Path(const std::string& name) const { return root_ / name; }

  // Writes a file in the directory, bytes as given (no line-break translation).
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << name;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path root_;
};

}  // namespace tessok::test
