// Output files for the measurement logs: create, write, close, and the
// rename and remove that let a log appear under its name only once complete.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessok::platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens a file for writing in binary mode, creating it or emptying an existing
// one; kNoFile when it cannot (missing directory, no permission, bad name).
// Directories are not created.
FileHandle CreateFileForWriting(const char* path);
// Writes all `size` bytes; false on any error.
bool WriteFile(FileHandle file, const void* data, std::size_t size);
// Closes the file; false when the close reported an error (data may be lost).
bool CloseFile(FileHandle file);
// Gives a file a new name in the same file system, replacing a file that holds
// that name; false when it cannot, `from` and `to` then being unchanged.
bool RenameFile(const char* from, const char* to);
// Removes a file; false when it cannot.
bool RemoveFile(const char* path);

}  // namespace tessok::platform
