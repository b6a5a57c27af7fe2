// Path operations. Two styles exist as pure functions, so both can be tested
// anywhere: `windows` (drive letters, UNC names, "\" separators) and `posix`
// ("/" separators, absolute when the path starts with "/"). The functions in
// `path` itself use the platform's own style, chosen below.
#ifndef VEL_ULMO_OSDEP_PATH_H_
#define VEL_ULMO_OSDEP_PATH_H_

#include "ulmo/StringBase.h"

namespace vel::ulmo::osdep {
namespace path {

namespace windows {
// "X:\..." or "XY:\..." (letters of the user's locale), or "\\server...".
bool IsAbsolutePath(const WString& text);
bool IsAbsolutePath(const AString& text);
// `relative` when it is absolute or `base` is empty; otherwise `base`, one
// separator and `relative`.
WString CombinePath(const WString& base, const WString& relative);
AString CombinePath(const AString& base, const AString& relative);
// The path without its last component; a drive and its root stay.
WString GetParentPath(const WString& path);
// The text after the last separator; empty for a bare drive ("C:").
WString GetFileName(const WString& path);
// Throws InvalidArgument ("ulmo\osdep\path") for an empty path.
void AppendSeparator(WString& path);
WChar Separator();  // '\'
}  // namespace windows

namespace posix {
// Starts with "/".
bool IsAbsolutePath(const WString& text);
bool IsAbsolutePath(const AString& text);
// `relative` when it is absolute or `base` is empty; otherwise `base`, one
// separator and `relative`.
WString CombinePath(const WString& base, const WString& relative);
AString CombinePath(const AString& base, const AString& relative);
// The path without its last component; "/" stays.
WString GetParentPath(const WString& path);
// The text after the last separator.
WString GetFileName(const WString& path);
// Throws InvalidArgument ("ulmo\osdep\path") for an empty path.
void AppendSeparator(WString& path);
WChar Separator();  // '/'
}  // namespace posix

// The platform's own style. The one place it is chosen: both styles are
// compiled everywhere, so this is a choice of names, not of sources (CMake
// picks the backend sources of the other primitives).
#if defined(_WIN32)
namespace native = windows;
#else
namespace native = posix;
#endif
using native::AppendSeparator;
using native::CombinePath;
using native::GetFileName;
using native::GetParentPath;
using native::IsAbsolutePath;
using native::Separator;

// The process's current directory; empty when the system cannot tell.
WString GetCurrentDirectory();
// "." gives the current directory; anything else is combined with it.
WString MakeAbsolutePath(const WString& path);
// The absolute directory of a file, ending with a separator.
WString DirectoryOf(const WString& file);
// A path as the 8-bit text the system's narrow file functions read: UTF-8 on
// Linux whatever the locale, the ANSI code page on Windows.
AString ToNarrowPath(const WString& path);

}  // namespace path

// The directory of a loaded module (a SharedLibrary's handle), or of the
// process's executable when `module` is null, always ending with a
// separator. Throws SystemError ("ulmo\osdep\GetModuleDirectory") when the
// system gives no file name.
WString GetModuleDirectory(void* module);

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_PATH_H_
