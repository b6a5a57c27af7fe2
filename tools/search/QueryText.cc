#include "search/QueryText.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tessik_cli {

bool ReadQueryFile(const std::string& path, TString& text, std::string& error) {
  // The query reader is meant for text from anyone: one query document is a
  // few kilobytes, and a path that names a device or a pipe would otherwise
  // be read without end.
  constexpr std::uintmax_t kMaxQueryFileBytes = std::uintmax_t{1} << 20;
  const std::string tooLarge = path + ": larger than 1 MiB; a query file holds one query document";
  std::string bytes;
  try {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::file_status status = fs::status(path, code);  // through symbolic links
    if (code) {
      error = "cannot open \"" + path + "\": " + code.message();
      return false;
    }
    if (fs::is_directory(status)) {
      error = path + ": is a folder, not a query file";
      return false;
    }
    if (!fs::is_regular_file(status)) {
      error = path + ": not a regular file";
      return false;
    }
    if (const std::uintmax_t size = fs::file_size(path, code); !code && size > kMaxQueryFileBytes) {
      error = tooLarge;
      return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      error = "cannot open \"" + path + "\": " + std::strerror(errno);
      return false;
    }
    // One byte past the limit tells a file that grew after it was measured.
    bytes.resize(kMaxQueryFileBytes + 1);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file.bad()) {
      error = "cannot read \"" + path + "\"";
      return false;
    }
    bytes.resize(static_cast<size_t>(file.gcount()));
  } catch (const std::exception& e) {
    error = "cannot read \"" + path + "\": " + e.what();
    return false;
  }
  if (bytes.size() > kMaxQueryFileBytes) {
    error = tooLarge;
    return false;
  }
  const bool little = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  const bool big = bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF';
  if (!little && !big) {
    text = Widen(bytes);
    return true;
  }
  if (bytes.size() % 2 != 0) {
    error = path + ": UTF-16 text (by its byte order mark) of an odd number of bytes";
    return false;
  }
  text.clear();
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    text += static_cast<TessikChar>(little ? a | (b << 8) : (a << 8) | b);
  }
  return true;
}

}  // namespace tessik_cli
