// Where this plugin library lies, so its configuration file can be found
// beside it. (The reference plugins play the part of a third party's code:
// they cannot use the library's own system layer, so this one call has its
// own small file per platform.)
#include <windows.h>

#include <string>

#include "kit/Config.h"
#include "kit/Text.h"

namespace tessik_plugins {

std::string ThisModulePath() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&ThisModulePath), &module))
    return "";
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return "";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return ToUtf8(path.c_str());
}

}  // namespace tessik_plugins
