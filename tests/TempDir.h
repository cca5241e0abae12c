// A fresh directory under the system's temporary directory, removed with
// everything in it when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <system_error>
#include <vector>

namespace tessok::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessok-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
    EXPECT_FALSE(path_.empty()) << "cannot create a temporary directory";
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path Path(const std::string& name) const { return path_ / name; }
  // The directory as the library's directory settings take it: with a trailing separator.
  std::string Prefix() const { return path_.string() + "/"; }
  // Writes a file in the directory, bytes as given (no line-break translation).
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << name;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // Names of the entries, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// Whether a file name is a measurement log's: the text before the stamp (such
// as "BathTub_2_"), the date stamp with unpadded milliseconds, ".csv".
inline bool IsLogName(const std::string& name, const std::string& head) {
  static const std::string stamp = R"(Date-\d{4}-\d{2}-\d{2}-Time-\d{2}-\d{2}-\d{2}-(0|[1-9]\d{0,2}))";
  return name.starts_with(head) && std::regex_match(name.substr(head.size()), std::regex(stamp + R"(\.csv)"));
}

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteTextFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

}  // namespace tessok::test
