#include <windows.h>

#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Path.h"

namespace vel::ulmo::osdep {
namespace path {

bool IsAbsolutePath(const WString& text) { return windows::IsAbsolutePath(text); }
bool IsAbsolutePath(const AString& text) { return windows::IsAbsolutePath(text); }
WString CombinePath(const WString& base, const WString& relative) { return windows::CombinePath(base, relative); }
AString CombinePath(const AString& base, const AString& relative) { return windows::CombinePath(base, relative); }
WString GetParentPath(const WString& p) { return windows::GetParentPath(p); }
WString GetFileName(const WString& p) { return windows::GetFileName(p); }
void AppendSeparator(WString& p) { windows::AppendSeparator(p); }
WChar Separator() { return '\\'; }

WString GetCurrentDirectory() {
  WChar buffer[261] = {};
  DWORD n = ::GetCurrentDirectoryW(261, buffer);
  // A longer directory does not fit: nothing the system wrote is read then.
  if (n == 0 || n >= 261) return WString();
  return WString(buffer, n);
}

WString MakeAbsolutePath(const WString& p) {
  if (p.Length() == 1 && p[0] == '.') return GetCurrentDirectory();
  return CombinePath(GetCurrentDirectory(), p);
}

}  // namespace path

WString GetModuleDirectory(void* module) {
  WChar buffer[261] = {};
  DWORD n = GetModuleFileNameW(static_cast<HMODULE>(module), buffer, 261);
  if (n == 0) exception::ThrowAt(WinError(), "ulmo\\osdep\\GetModuleDirectory", __LINE__);
  if (n >= 261) n = 260;  // cut: only what the system wrote is read
  WString directory = path::MakeAbsolutePath(path::GetParentPath(WString(buffer, n)));
  path::AppendSeparator(directory);
  return directory;
}

}  // namespace vel::ulmo::osdep
