// What the folder index asks of the operating system directly: the size
// and modification time of a file in one call (std::filesystem needs one
// call for each, and the walk asks for both of every file), a whole file in
// as few calls as can be (a file stream takes twice as many, and an update
// reads thousands of small files), and running the helper programs it
// reads some formats through (pdftotext). The one
// place of the folder index that does: SystemPosix.cc, SystemWin32.cc.
#ifndef TESSIK_PLUGINS_FILES_PLATFORM_SYSTEM_H_
#define TESSIK_PLUGINS_FILES_PLATFORM_SYSTEM_H_

#include <string>
#include <vector>

#include <cstdint>
#include <filesystem>

namespace tessik_plugins::folder {

// The size and modification time (nanoseconds since 1970-01-01 UTC) of
// the file at `path`, links followed. False when it cannot be had.
bool FileFacts(const std::filesystem::path& path, uint64_t& size, int64_t& modified);

// The full path of `name` found on PATH (".exe" added on Windows), or "".
enum class ReadResult { kRead, kMissing, kDenied, kFailed, kTooLarge };

// The whole file at `path` into `out`: `expected` bytes (its size when it
// was walked) or what it has grown to since, kTooLarge past `limit`.
ReadResult ReadWholeFile(const std::filesystem::path& path, uint64_t expected, uint64_t limit, std::string& out);

std::string FindProgram(const std::string& name);

// Runs `program` (a full path) with `args` (UTF-8), no standard input, its
// standard error discarded, and collects its standard output into `out`,
// at most `maxOut` bytes (more fails). True when it ran and exited 0.
bool RunProgram(const std::string& program, const std::vector<std::string>& args, std::string& out, size_t maxOut);

}  // namespace tessik_plugins::folder

#endif  // TESSIK_PLUGINS_FILES_PLATFORM_SYSTEM_H_
