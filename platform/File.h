// Output files for the measurement logs: an exclusive create, write, close,
// and the rename and remove that let a log appear under its name only once
// complete.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessok::platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// What an exclusive create gave.
struct NewFile {
  FileHandle handle = kNoFile;  // kNoFile when no file was created
  bool nameTaken = false;       // the name was already held (file, directory or link)
};

// Creates a new, empty file for writing in binary mode, with the permissions
// of any new file of the user (read and write as the file-creation mask
// allows). Never opens what already holds the name and never follows a
// symbolic link there: that reports nameTaken. Other failures (missing
// directory, no permission, bad or too long a name) report neither a handle
// nor nameTaken. Directories are not created.
NewFile CreateNewFile(const char* path);
// Writes all `size` bytes; false on any error.
bool WriteFile(FileHandle file, const void* data, std::size_t size);
// Closes the file; false when the close reported an error (data may be lost).
bool CloseFile(FileHandle file);
// Gives a file a new name in the same file system, replacing a file that holds
// that name; false when it cannot, `from` and `to` then being unchanged.
bool RenameFile(const char* from, const char* to);
// Removes a file; false when it cannot.
bool RemoveFile(const char* path);
// The id of the running process, which keeps apart the temporary files of
// writers in different processes.
std::uint32_t ProcessId();

}  // namespace tessok::platform
