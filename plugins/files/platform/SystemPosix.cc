#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "files/platform/System.h"

extern char** environ;

namespace tessik_plugins::folder {

bool FileFacts(const std::filesystem::path& path, uint64_t& size, int64_t& modified) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  size = static_cast<uint64_t>(st.st_size);
  modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

ReadResult ReadWholeFile(const std::filesystem::path& path, uint64_t expected, uint64_t limit, std::string& out) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing
                     : errno == EACCES || errno == EPERM ? ReadResult::kDenied
                                                         : ReadResult::kFailed;
  // One byte more than expected: a short read is the end of the file.
  out.resize(static_cast<size_t>(std::min(expected, limit)) + 1);
  size_t got = 0;
  ReadResult result = ReadResult::kRead;
  for (;;) {
    const ssize_t n = read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = ReadResult::kFailed;
      break;
    }
    got += static_cast<size_t>(n);
    if (n == 0 || got < out.size()) break;
    if (got > limit) {
      result = ReadResult::kTooLarge;
      break;
    }
    out.resize(static_cast<size_t>(std::min<uint64_t>(out.size() * 2, limit + 1)));
  }
  close(fd);
  out.resize(got);
  return result;
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  std::string dirs(path);
  for (size_t at = 0; at <= dirs.size();) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = (end == at ? std::string(".") : dirs.substr(at, end - at)) + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
    at = end + 1;
  }
  return "";
}

bool RunProgram(const std::string& program, const std::vector<std::string>& args, std::string& out, size_t maxOut) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
  // Neither end may leak into other programs this process starts meanwhile.
  fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
  fcntl(pipeFds[1], F_SETFD, FD_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // A group of its own: Ctrl-C on the terminal stops the indexer between
  // files, and must not kill the program mid-file, which would leave that
  // file recorded as one it cannot read.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return false;
  }
  out.clear();
  bool tooMuch = false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (out.size() + static_cast<size_t>(n) > maxOut) {
      tooMuch = true;
      kill(pid, SIGKILL);
      break;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return !tooMuch && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace tessik_plugins::folder
