// Directory and file-kind checks for the clock-file directory and its files.
#pragma once

namespace tessok::platform {

// What a path names, symbolic links followed.
enum class PathKind {
  Missing,      // nothing there, or the path cannot be examined
  RegularFile,  // a plain file
  Directory,
  Other,  // a FIFO, socket or device: opening one could block or never end
};

PathKind GetPathKind(const char* path);
bool DirectoryExists(const char* path);
// Creates one directory level; true when it exists afterwards.
bool CreateDirectory(const char* path);

}  // namespace tessok::platform
