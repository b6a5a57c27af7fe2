// Where this plugin library lies, so its configuration file can be found
// beside it. (The reference plugins play the part of a third party's code:
// they cannot use the library's own system layer, so this one call has its
// own small file per platform.)
#include <dlfcn.h>

#include "kit/Config.h"

namespace tessik_plugins {

std::string ThisModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ThisModulePath), &info) == 0 || info.dli_fname == nullptr) return "";
  return info.dli_fname;
}

}  // namespace tessik_plugins
