#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

namespace tessik_cli {

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

namespace {

// The console window `stream` writes to; false when it is none.
bool ConsoleWindow(std::FILE* stream, SMALL_RECT& window) {
  if (!IsTerminal(stream)) return false;
  HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(handle, &info)) return false;
  window = info.srWindow;
  return true;
}

}  // namespace

int TerminalColumns(std::FILE* stream) {
  SMALL_RECT w;
  return ConsoleWindow(stream, w) ? w.Right - w.Left + 1 : 0;
}

int TerminalRows(std::FILE* stream) {
  SMALL_RECT w;
  return ConsoleWindow(stream, w) ? w.Bottom - w.Top + 1 : 0;
}

bool TerminalEscapes(std::FILE* stream) {
  if (!IsTerminal(stream)) return false;
  HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::filesystem::path ProgramFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);
  }
}

TString PathText(const std::filesystem::path& path) { return path.wstring(); }

const char* PluginSuffix() { return ".dll"; }

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) LocalFree(wide);
    return {argv, argv + argc};
  }
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(tessik_plugins::ToUtf8(wide[i]));
  LocalFree(wide);
  return out;
}

// The wide environment: the narrow one is in the ANSI code page, which
// cannot spell every user's name.
std::string EnvironmentValue(const char* name) {
  const std::wstring wide(name, name + std::strlen(name));
  const wchar_t* value = _wgetenv(wide.c_str());
  return value != nullptr ? tessik_plugins::ToUtf8(value) : "";
}

}  // namespace tessik_cli
