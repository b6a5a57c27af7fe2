// The support library's text services on arbitrary input: the one
// comparison of every name, key and keyword (vel::ulmo::CompareIgnoringCase,
// with its rule for NUL units), its shortcut and its sort keys, and the
// conversions through the ANSI code page.
//
// The input is cut into up to 12 texts. On those without NUL units the
// comparison must be a strict weak ordering (irreflexive, antisymmetric,
// transitive, and so is "equal"): the sorts of hits and the ordered sets of
// query fields and properties rely on it, and every text they hold came in
// NUL-terminated. Texts holding NULs are compared in runs cut at equal unit
// counts, a rule kept for compatibility that is not transitive (a cut can
// split a surrogate pair, or drop what an ignorable character stood
// beside); for them only reflexivity and antisymmetry are checked. The shortcut, where it decides, and the sort keys, for texts without
// NUL, must agree with the full comparison. The conversions run into
// buffers of exactly the size they asked for, so the sanitizer catches a
// read or write beyond them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "ulmo/StringBase.h"
#include "ulmo/osdep/Text.h"

namespace {

using vel::ulmo::AString;
using vel::ulmo::WString;
namespace osdep = vel::ulmo::osdep;

void Print(const char* label, const FuzzText& text) {
  std::fprintf(stderr, "%s:", label);
  for (TessikChar unit : text) std::fprintf(stderr, " %04X", static_cast<unsigned>(unit));
  std::fprintf(stderr, "\n");
}

int Sign(int value) { return (value > 0) - (value < 0); }

int Compare(const FuzzText& a, const FuzzText& b) {
  return Sign(vel::ulmo::CompareIgnoringCase(a.data(), static_cast<uint32_t>(a.size()), b.data(),
                                             static_cast<uint32_t>(b.size())));
}

bool HasNul(const FuzzText& text) { return text.find(TessikChar{0}) != FuzzText::npos; }

std::vector<uint8_t> Key(const FuzzText& text) {
  uint32_t length = static_cast<uint32_t>(text.size());
  uint32_t needed = osdep::SortKey(text.data(), length, nullptr, 0);
  if (needed == 0) return {};
  std::vector<uint8_t> key(needed);
  FUZZ_CHECK(osdep::SortKey(text.data(), length, key.data(), needed) == needed);
  return key;
}

int CompareKeys(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c != 0) return Sign(c);
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void CheckOrdering(const std::vector<FuzzText>& all) {
  std::vector<FuzzText> texts;
  for (const FuzzText& text : all) {
    if (!HasNul(text)) texts.push_back(text);
    FUZZ_CHECK(Compare(text, text) == 0);
    for (const FuzzText& other : all) FUZZ_CHECK(Compare(text, other) == -Compare(other, text));
  }
  size_t n = texts.size();
  std::vector<int> cmp(n * n);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) cmp[i * n + j] = Compare(texts[i], texts[j]);
  }
  for (size_t i = 0; i < n; ++i) {
    FUZZ_CHECK(cmp[i * n + i] == 0);
    for (size_t j = 0; j < n; ++j) {
      FUZZ_CHECK(cmp[i * n + j] == -cmp[j * n + i]);
      for (size_t k = 0; k < n; ++k) {
        // a <= b and b <= c give a <= c, strictly when either step is strict.
        int ab = cmp[i * n + j], bc = cmp[j * n + k], ac = cmp[i * n + k];
        if (ab <= 0 && bc <= 0 && !(ac <= 0 && (ac < 0 || (ab == 0 && bc == 0)))) {
          Print("a", texts[i]), Print("b", texts[j]), Print("c", texts[k]);
          std::fprintf(stderr, "a~b %d, b~c %d, a~c %d\n", ab, bc, ac);
          FUZZ_CHECK(!"the comparison is transitive");
        }
      }
    }
  }
}

void CheckShortcutAndKeys(const std::vector<FuzzText>& texts) {
  std::vector<std::vector<uint8_t>> keys;
  for (const FuzzText& t : texts) keys.push_back(HasNul(t) ? std::vector<uint8_t>() : Key(t));
  for (size_t i = 0; i < texts.size(); ++i) {
    for (size_t j = 0; j < texts.size(); ++j) {
      const FuzzText& a = texts[i];
      const FuzzText& b = texts[j];
      if (HasNul(a) || HasNul(b)) continue;
      auto al = static_cast<uint32_t>(a.size()), bl = static_cast<uint32_t>(b.size());
      int full = Sign(osdep::CompareText(a.data(), al, b.data(), bl));
      int quick = 0;
      if (osdep::CompareTextQuick(a.data(), al, b.data(), bl, &quick)) FUZZ_CHECK(Sign(quick) == full);
      if (!keys[i].empty() && !keys[j].empty()) FUZZ_CHECK(CompareKeys(keys[i], keys[j]) == full);
    }
  }
}

// One step into a heap buffer of exactly the room it asked for, and once
// into one unit too small (which must refuse or fit, never overflow).
template <class From, class To, class Step>
void CheckStep(const From* text, int32_t length, Step step) {
  uint32_t needed = step(text, length, nullptr, 0);
  if (needed == 0) return;
  FUZZ_CHECK(needed <= 4 * static_cast<uint32_t>(length) + 16);
  auto exact = std::make_unique<To[]>(needed);
  uint32_t written = step(text, length, exact.get(), needed);
  FUZZ_CHECK(written <= needed);
  if (needed > 1) {
    auto small = std::make_unique<To[]>(needed - 1);
    FUZZ_CHECK(step(text, length, small.get(), needed - 1) <= needed - 1);
  }
}

void CheckConversions(const std::string& bytes, const FuzzText& wide) {
  if (!bytes.empty()) {
    CheckStep<char, TessikChar>(bytes.data(), static_cast<int32_t>(bytes.size()), osdep::AnsiToWideStep);
    WString converted;
    try {
      osdep::AnsiToWide(bytes.data(), bytes.data() + bytes.size(), converted);
    } catch (const std::exception&) {
      // A refusal of the platform is the system error: allowed, not a finding.
    }
  }
  if (!wide.empty()) {
    CheckStep<TessikChar, char>(wide.data(), static_cast<int32_t>(wide.size()), osdep::WideToAnsiStep);
    AString converted;
    try {
      osdep::WideToAnsi(wide.data(), wide.data() + wide.size(), converted);
    } catch (const std::exception&) {
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  std::vector<FuzzText> texts;
  while (texts.size() < 12 && in.remaining_bytes() > 0) {
    std::string bytes = in.ConsumeRandomLengthString(64);
    FuzzText text = Utf16(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    CheckConversions(bytes, text);
    texts.push_back(std::move(text));
  }
  CheckOrdering(texts);
  CheckShortcutAndKeys(texts);
  return 0;
}
