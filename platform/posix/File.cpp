#include "platform/File.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tessok::platform {

NewFile CreateNewFile(const char* path) {
  NewFile created;
  if (path == nullptr) return created;
  // O_EXCL refuses any name that exists, a dangling link included; O_NOFOLLOW
  // refuses a link on systems that check it first, with ELOOP.
  int fd = -1;
  do {
    fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    created.handle = static_cast<FileHandle>(fd);
  } else {
    created.nameTaken = errno == EEXIST || errno == ELOOP;
  }
  return created;
}

bool WriteFile(FileHandle file, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(file), p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// An interrupted close has still released the descriptor on Linux, and its
// data reached the kernel: it is no error.
bool CloseFile(FileHandle file) { return ::close(static_cast<int>(file)) == 0 || errno == EINTR; }

bool RenameFile(const char* from, const char* to) {
  return from != nullptr && to != nullptr && std::rename(from, to) == 0;
}

bool RemoveFile(const char* path) { return path != nullptr && ::unlink(path) == 0; }

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace tessok::platform
