// A whole file mapped read-only into memory. The only code of the word
// library that talks to the operating system; platform/ holds one source per
// system and the build picks one.
#ifndef WORDNETEN_MAPPEDFILE_H_
#define WORDNETEN_MAPPEDFILE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace wordnet {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the file at `path` (8-bit text handed to the system as it is).
  // False when it cannot be opened or mapped; an empty file maps to no bytes.
  bool Open(const std::string& path);
  void Close();

  std::string_view Text() const { return {data_, size_}; }

  // The separator this system puts between a folder and a file name.
  static char Separator();

 private:
  const char* data_ = nullptr;
  size_t size_ = 0;
  // The system's handle of the mapping, where it has one (POSIX needs none).
  [[maybe_unused]] void* mapping_ = nullptr;
};

}  // namespace wordnet

#endif  // WORDNETEN_MAPPEDFILE_H_
