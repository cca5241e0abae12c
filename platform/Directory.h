// Directory checks for the clock-file directory.
#pragma once

namespace tessok::platform {

bool DirectoryExists(const char* path);
// Creates one directory level; true when it exists afterwards.
bool CreateDirectory(const char* path);

}  // namespace tessok::platform
