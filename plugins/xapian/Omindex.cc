#include "xapian/Omindex.h"

#include <charconv>
#include <chrono>

#include "kit/Text.h"

namespace tessik_plugins::omindex {

Stored Parse(std::string_view data) {
  Stored stored;
  struct Key {
    std::string_view name;
    std::string Stored::*field;
  };
  static constexpr Key kKeys[] = {{"url", &Stored::url},         {"caption", &Stored::caption},
                                  {"sample", &Stored::sample},   {"type", &Stored::type},
                                  {"modtime", &Stored::modtime}, {"size", &Stored::size},
                                  {"author", &Stored::author}};
  while (!data.empty()) {
    const size_t end = data.find('\n');
    const std::string_view line = data.substr(0, end);
    data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    for (const Key& key : kKeys)
      if (line.substr(0, equals) == key.name) stored.*key.field = std::string(line.substr(equals + 1));
  }
  return stored;
}

namespace {

// The url without its scheme and host, and without query or fragment.
std::string_view PathOf(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) {
    const size_t slash = url.find('/', scheme + 3);
    url = slash == std::string_view::npos ? std::string_view("/") : url.substr(slash);
  }
  return url.substr(0, url.find_first_of("?#"));
}

}  // namespace

std::string FileName(std::string_view url) {
  std::string_view path = PathOf(url);
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FirstFolder(std::string_view url) {
  std::string_view path = PathOf(url);
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  const size_t slash = path.find('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

std::string PathTerm(std::string_view category) {
  while (!category.empty() && category.back() == '/') category.remove_suffix(1);
  while (!category.empty() && category.front() == '/') category.remove_prefix(1);
  return std::string(kPath) + "/" + std::string(category);
}

std::string IsoTime(std::string_view seconds) {
  long long value = 0;
  const auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
  if (error != std::errc() || end != seconds.data() + seconds.size()) return "";
  return Iso8601(std::chrono::sys_seconds{std::chrono::seconds(value)});
}

}  // namespace tessik_plugins::omindex
