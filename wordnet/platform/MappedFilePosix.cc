// MappedFile on Linux and other POSIX systems: open, fstat, mmap.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "wordnet/MappedFile.h"

namespace wordnet {

bool MappedFile::Open(const std::string& path) {
  Close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok && info.st_size > 0) {
    void* address = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (address == MAP_FAILED) {
      ok = false;
    } else {
      data_ = static_cast<const char*>(address);
      size_ = static_cast<size_t>(info.st_size);
    }
  }
  ::close(fd);  // the mapping keeps the file
  return ok;
}

void MappedFile::Close() {
  if (data_ != nullptr) ::munmap(const_cast<char*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

char MappedFile::Separator() { return '/'; }

}  // namespace wordnet
