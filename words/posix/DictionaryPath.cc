// On Linux the dictionary path is a file name, and file names are UTF-8
// whatever the locale: the word library hands it to the system as it is.
#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/posix/FileName.h"
#include "words/WordLibMgr.h"

namespace Tessik {

AString MakeDictionaryPath(const WString& resourceDirectory) {
  std::string folder = vel::ulmo::osdep::filename::FromWide(resourceDirectory);
  return vel::ulmo::osdep::path::CombinePath(AString(folder.c_str(), static_cast<uint32_t>(folder.size())),
                                             AString("WordNetDict"));
}

}  // namespace Tessik
