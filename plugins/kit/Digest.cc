#include "kit/Digest.h"

#include "kit/Text.h"

namespace tessik_plugins {

std::string NormalisedText(std::string_view title, std::string_view text) {
  std::string out;
  for (std::string_view part : {title, text}) {
    for (const std::string& word : Words(Fold(part))) {
      if (!out.empty()) out += ' ';
      out += word;
    }
  }
  return out;
}

uint64_t Fnv1a64(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Digest(std::string_view title, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  uint64_t hash = Fnv1a64(NormalisedText(title, text));
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) out[static_cast<size_t>(i)] = kHex[hash & 15];
  return out;
}

}  // namespace tessik_plugins
