// Module and process paths, the host's program folder, file existence.
#pragma once

#include <string>

namespace platform {

// Full path of the module that holds this code (the plug-in's file as it was loaded,
// links not resolved). Empty when it cannot be found.
std::string ModulePath();

// Full path of the host's executable.
std::string HostExecutablePath();

// The host's program folder with a trailing "/": FEEDPROBE_PROGRAM_DIR when set, else the
// directory of the host's executable. A relative folder is made absolute.
std::string ProgramFolder();

// Turns "\" separators of configured and relative paths into "/".
std::string NativePath(std::string path);

// Makes a path absolute against the current directory, without resolving links or "..".
std::string AbsolutePath(const std::string& path);

// Folder of a path with its trailing "/" ("" when the path has none).
std::string DirectoryOf(const std::string& path);

// File name of a path: what follows the last "/".
std::string FileNameOf(const std::string& path);

// True when a file or folder exists at the path.
bool FileExists(const std::string& path);

}  // namespace platform
