#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/Platform.h"

namespace tessik_cli {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

namespace {

// The terminal's size; all zero when `stream` writes to none.
winsize TerminalSize(std::FILE* stream) {
  winsize size{};
  if (!IsTerminal(stream) || ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return {};
  return size;
}

}  // namespace

int TerminalColumns(std::FILE* stream) { return TerminalSize(stream).ws_col; }

int TerminalRows(std::FILE* stream) { return TerminalSize(stream).ws_row; }

bool TerminalEscapes(std::FILE* stream) {
  // Every terminal but a dumb one follows them.
  const char* term = std::getenv("TERM");
  return IsTerminal(stream) && (term == nullptr || std::string_view(term) != "dumb");
}

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

TString PathText(const std::filesystem::path& path) { return Widen(path.string()); }

const char* PluginSuffix() { return ".so"; }

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace tessik_cli
