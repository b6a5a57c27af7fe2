#include <cerrno>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/posix/FileName.h"

namespace vel::ulmo::osdep {
namespace path {

WString GetCurrentDirectory() {
  // Grows until the whole name fits, so long directories are not cut.
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return WString();
    buffer.resize(buffer.size() * 2);
  }
  return filename::ToWide(buffer.data());
}

AString ToNarrowPath(const WString& path) {
  std::string utf8 = filename::FromWide(path);
  return AString(utf8.c_str(), static_cast<uint32_t>(utf8.size()));
}

}  // namespace path

WString GetModuleDirectory(void* module) {
  std::string file;
  if (module == nullptr) {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) {
      exception::ThrowAt(SystemError(), "ulmo\\osdep\\GetModuleDirectory", __LINE__);
    }
    file.assign(buffer.data(), static_cast<size_t>(n));
  } else {
    link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr ||
        map->l_name[0] == '\0') {
      errno = EINVAL;
      exception::ThrowAt(SystemError(), "ulmo\\osdep\\GetModuleDirectory", __LINE__);
    }
    file = map->l_name;
  }
  return path::DirectoryOf(filename::ToWide(file));
}

}  // namespace vel::ulmo::osdep
