// On Windows the word library takes file names in the ANSI code page, the
// 8-bit form every "A" function of the system reads.
#include "ulmo/osdep/Path.h"
#include "words/WordLibMgr.h"

namespace Tessik {

AString MakeDictionaryPath(const WString& resourceDirectory) {
  return vel::ulmo::osdep::path::CombinePath(AString(resourceDirectory.CStr()), AString("WordNetDict"));
}

}  // namespace Tessik
