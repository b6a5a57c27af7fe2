#include "kit/Normalise.h"

#include <algorithm>

#include "kit/Text.h"
#include "kit/platform/Unicode.h"

namespace tessik_plugins {

namespace {

bool IsAscii(std::string_view utf8) {
  return std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Most words of most texts are ASCII, whose every form is lower case ASCII:
// they never reach the platform, which is where the time would go.
std::string AsciiLower(std::string_view ascii) {
  std::string out(ascii);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

}  // namespace

std::string Normalise(std::string_view utf8) {
  if (IsAscii(utf8)) return AsciiLower(utf8);
  using namespace unicode;
  // Compatibility forms first, so that folding sees plain letters ("Ⓐ" is
  // "A"); folding before the marks go, since it may add some ("İ" folds to
  // "i" and a combining dot); and NFC last, so that what no mark was taken
  // from (Hangul, kana) is composed as it came.
  const Utf16 folded = CaseFolded(Normalised(ToUtf16(utf8), Form::kKC));
  return ToUtf8(Normalised(WithoutAccents(Normalised(folded, Form::kD)), Form::kC));
}

std::string Canonical(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  return ToUtf8(unicode::Normalised(ToUtf16(utf8), unicode::Form::kC));
}

void ForEachToken(std::string_view utf8,
                  const std::function<void(std::string_view token, size_t begin, size_t end)>& each) {
  ForEachWord(utf8, [&](std::string_view word, size_t begin, size_t end) {
    const std::string normal = Normalise(word);
    if (IsAscii(word)) {
      each(normal, begin, end);  // a word of ASCII letters stays one word
      return;
    }
    ForEachWord(normal, [&](std::string_view token, size_t, size_t) { each(token, begin, end); });
  });
}

std::vector<std::string> Tokens(std::string_view utf8) {
  std::vector<std::string> tokens;
  ForEachToken(utf8, [&](std::string_view token, size_t, size_t) { tokens.emplace_back(token); });
  return tokens;
}

size_t CountWordAsWritten(std::string_view text, std::string_view word) {
  if (IsAscii(text) && IsAscii(word)) return CountWord(text, word);
  const std::string wanted = Canonical(word);
  size_t count = 0;
  ForEachWord(text, [&](std::string_view w, size_t, size_t) { count += Canonical(w) == wanted; });
  return count;
}

size_t CountTokens(std::string_view text, std::string_view word) {
  const std::vector<std::string> wanted = Tokens(word);
  if (wanted.empty()) return 0;
  if (wanted.size() == 1 && IsAscii(text)) return CountWord(AsciiLower(text), wanted[0]);
  const std::vector<std::string> tokens = Tokens(text);
  size_t count = 0;
  for (size_t i = 0; i + wanted.size() <= tokens.size(); ++i)
    count += std::equal(wanted.begin(), wanted.end(), tokens.begin() + static_cast<std::ptrdiff_t>(i));
  return count;
}

bool HoldsWordAsWritten(std::string_view text, std::string_view word) {
  const std::string wanted = Canonical(word);
  bool found = false;
  ForEachWord(text, [&](std::string_view w, size_t, size_t) { found = found || Canonical(w) == wanted; });
  return found;
}

}  // namespace tessik_plugins
