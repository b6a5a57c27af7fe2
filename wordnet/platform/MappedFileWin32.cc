// MappedFile on Windows: CreateFileA (the path is in the ANSI code page),
// CreateFileMappingA, MapViewOfFile.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "wordnet/MappedFile.h"

namespace wordnet {

bool MappedFile::Open(const std::string& path) {
  Close();
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length;
  bool ok = ::GetFileSizeEx(file, &length) != 0;
  if (ok && length.QuadPart > 0) {
    HANDLE mapping = ::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* address = mapping != nullptr ? ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (address == nullptr) {
      if (mapping != nullptr) ::CloseHandle(mapping);
      ok = false;
    } else {
      data_ = static_cast<const char*>(address);
      size_ = static_cast<size_t>(length.QuadPart);
      mapping_ = mapping;
    }
  }
  ::CloseHandle(file);  // the mapping keeps the file
  return ok;
}

void MappedFile::Close() {
  if (data_ != nullptr) ::UnmapViewOfFile(data_);
  if (mapping_ != nullptr) ::CloseHandle(mapping_);
  data_ = nullptr;
  size_ = 0;
  mapping_ = nullptr;
}

char MappedFile::Separator() { return '\\'; }

}  // namespace wordnet
