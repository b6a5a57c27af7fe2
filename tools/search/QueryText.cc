#include "search/QueryText.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tessik_cli {

bool ReadQueryFile(const std::string& path, TString& text, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    error = "cannot read \"" + path + "\"";
    return false;
  }
  const bool little = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  const bool big = bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF';
  if (!little && !big) {
    text = Widen(bytes);
    return true;
  }
  text.clear();
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    text += static_cast<TessikChar>(little ? a | (b << 8) : (a << 8) | b);
  }
  return true;
}

}  // namespace tessik_cli
