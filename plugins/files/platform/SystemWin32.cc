#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "files/platform/System.h"
#include "kit/Text.h"

namespace tessik_plugins::folder {
namespace {

// One argument quoted as the C runtime's parser reads it back.
std::wstring Quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace

bool FileFacts(const std::filesystem::path& path, uint64_t& size, int64_t& modified) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
  // 100 ns ticks since 1601-01-01.
  modified = (static_cast<int64_t>(ticks) - 116444736000000000LL) * 100;
  return true;
}

ReadResult ReadWholeFile(const std::filesystem::path& path, uint64_t expected, uint64_t limit, std::string& out) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadResult::kMissing
           : error == ERROR_ACCESS_DENIED                                 ? ReadResult::kDenied
                                                                          : ReadResult::kFailed;
  }
  // One byte more than expected: a short read is the end of the file.
  out.resize(static_cast<size_t>(expected < limit ? expected : limit) + 1);
  size_t got = 0;
  ReadResult result = ReadResult::kRead;
  for (;;) {
    const size_t want = out.size() - got;
    DWORD n = 0;
    if (!ReadFile(file, out.data() + got, want > 0x40000000 ? 0x40000000 : static_cast<DWORD>(want), &n, nullptr)) {
      result = ReadResult::kFailed;
      break;
    }
    got += n;
    if (n == 0 || got < out.size()) break;
    if (got > limit) {
      result = ReadResult::kTooLarge;
      break;
    }
    const uint64_t doubled = static_cast<uint64_t>(out.size()) * 2;
    out.resize(static_cast<size_t>(doubled < limit + 1 ? doubled : limit + 1));
  }
  CloseHandle(file);
  out.resize(got);
  return result;
}

std::string FindProgram(const std::string& name) {
  const wchar_t* path = _wgetenv(L"PATH");
  if (path == nullptr) return "";
  const std::wstring dirs(path);
  const std::filesystem::path file = PathOf(name + ".exe");
  for (size_t at = 0; at <= dirs.size();) {
    size_t end = dirs.find(L';', at);
    if (end == std::wstring::npos) end = dirs.size();
    if (end > at) {
      std::error_code ec;
      const std::filesystem::path candidate = std::filesystem::path(dirs.substr(at, end - at)) / file;
      if (std::filesystem::is_regular_file(candidate, ec)) return Utf8Of(candidate);
    }
    at = end + 1;
  }
  return "";
}

bool RunProgram(const std::string& program, const std::vector<std::string>& args, std::string& out, size_t maxOut) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  const std::wstring exe = PathOf(program).wstring();
  std::wstring command = Quoted(exe);
  for (const std::string& a : args) command += L" " + Quoted(PathOf(a).wstring());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = writeEnd;
  startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started) {
    CloseHandle(readEnd);
    return false;
  }
  out.clear();
  bool tooMuch = false;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) {
    if (out.size() + n > maxOut) {
      tooMuch = true;
      TerminateProcess(process.hProcess, 1);
      break;
    }
    out.append(buffer, n);
  }
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return !tooMuch && code == 0;
}

}  // namespace tessik_plugins::folder
