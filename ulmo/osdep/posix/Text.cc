// Text services on ICU. Each ICU object is made once per process, thread-safely:
// the collator is only ever used through const calls, which ICU allows from
// many threads; converters keep state, so each thread works on its own clone.
#include <algorithm>
#include <cerrno>
#include <iterator>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <string>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucol.h>
#include <unicode/uchar.h>

#include "ulmo/osdep/Text.h"

static_assert(sizeof(UChar) == sizeof(vel::ulmo::WChar));

namespace vel::ulmo::osdep {
namespace {

// The user's default locale as the environment names it for collation.
std::string CollationLocale() {
  const char* name = nullptr;
  for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  std::string locale = name ? name : "";
  locale = locale.substr(0, locale.find_first_of(".@"));  // drop the character set and modifier
  // ICU maps "C" to en_US_POSIX, whose primary level puts A-Z before a-z and
  // so breaks case-insensitive equality; root collation is what C means here.
  if (locale == "C" || locale == "POSIX") locale.clear();
  return locale;
}

struct CollatorDeleter {
  void operator()(UCollator* c) const { ucol_close(c); }
};

const UCollator* Collator() {
  static const std::unique_ptr<UCollator, CollatorDeleter> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open(CollationLocale().c_str(), &status);
    if (U_FAILURE(status)) {
      status = U_ZERO_ERROR;
      c = ucol_open("", &status);
    }
    if (c != nullptr) ucol_setStrength(c, UCOL_SECONDARY);
    return std::unique_ptr<UCollator, CollatorDeleter>(c);
  }();
  return collator.get();
}

// Printable ASCII under an untailored collation: every character has one
// primary weight of its own (upper and lower case share it, and secondary
// strength ignores what tells them apart), so texts compare as their rank
// sequences up to the first difference. A locale that tailors the order
// (contractions, reordered letters) gets no shortcut.
struct AsciiOrder {
  bool usable = false;
  uint8_t rank[128] = {};  // 0: not printable ASCII
};

const AsciiOrder& Ascii() {
  static const AsciiOrder order = [] {
    AsciiOrder o;
    const UCollator* collator = Collator();
    int32_t rulesLength = 0;
    if (collator == nullptr || (ucol_getRules(collator, &rulesLength), rulesLength != 0)) return o;
    UChar chars[0x7F - 0x20];
    for (int c = 0x20; c < 0x7F; ++c) chars[c - 0x20] = static_cast<UChar>(c);
    auto compare = [collator](UChar x, UChar y) { return ucol_strcoll(collator, &x, 1, &y, 1); };
    std::sort(std::begin(chars), std::end(chars), [&](UChar x, UChar y) { return compare(x, y) == UCOL_LESS; });
    uint8_t rank = 1;
    for (size_t i = 0; i < std::size(chars); ++i) {
      if (i > 0 && compare(chars[i - 1], chars[i]) != UCOL_EQUAL) ++rank;
      o.rank[chars[i]] = rank;
    }
    o.usable = true;
    return o;
  }();
  return order;
}

// The character set of the environment's locale, read without touching the
// process locale (setlocale is the application's business).
std::string AnsiCharacterSet() {
  std::string codeset = "US-ASCII";
  locale_t environment = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (environment != static_cast<locale_t>(0)) {
    const char* name = nl_langinfo_l(CODESET, environment);
    if (name != nullptr && *name != '\0') codeset = name;
    freelocale(environment);
  }
  return codeset;
}

// Invalid input bytes become U+FFFD, whatever the converter's own habit.
void ToUnicodeReplacement(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                          UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to do
  static const UChar replacement = 0xFFFD;
  *status = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

struct ConverterDeleter {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterDeleter>;

const UConverter* MasterConverter() {
  static const ConverterPtr master = [] {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open(AnsiCharacterSet().c_str(), &status);
    if (U_FAILURE(status)) {
      status = U_ZERO_ERROR;
      c = ucnv_open("US-ASCII", &status);
    }
    if (c != nullptr) {
      status = U_ZERO_ERROR;
      ucnv_setSubstChars(c, "?", 1, &status);
      status = U_ZERO_ERROR;
      ucnv_setToUCallBack(c, ToUnicodeReplacement, nullptr, nullptr, nullptr, &status);
    }
    return ConverterPtr(c);
  }();
  return master.get();
}

UConverter* ThreadConverter() {
  thread_local ConverterPtr mine = [] {
    UErrorCode status = U_ZERO_ERROR;
    const UConverter* master = MasterConverter();
    return ConverterPtr(master ? ucnv_clone(master, &status) : nullptr);
  }();
  return mine.get();
}

uint32_t Refused(int error) {
  errno = error;
  return 0;
}

}  // namespace

int CompareText(const WChar* a, uint32_t aLength, const WChar* b, uint32_t bLength) noexcept {
  const UCollator* collator = Collator();
  if (collator == nullptr) return 0;
  UCollationResult r = ucol_strcoll(collator, reinterpret_cast<const UChar*>(a), static_cast<int32_t>(aLength),
                                    reinterpret_cast<const UChar*>(b), static_cast<int32_t>(bLength));
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

bool CompareTextQuick(const WChar* a, uint32_t aLength, const WChar* b, uint32_t bLength, int* result) noexcept {
  const AsciiOrder& order = Ascii();
  if (!order.usable) return false;
  uint32_t n = aLength < bLength ? aLength : bLength;
  for (uint32_t i = 0; i < n; ++i) {
    WChar x = a[i], y = b[i];
    if (x >= 0x80 || y >= 0x80) return false;
    uint8_t rx = order.rank[x], ry = order.rank[y];
    if (rx == 0 || ry == 0) return false;  // NUL or another control character
    if (rx != ry) {
      *result = rx < ry ? -1 : 1;
      return true;
    }
  }
  if (aLength == bLength) {
    *result = 0;
    return true;
  }
  // One is a prefix of the other: the longer is greater when its next
  // character has a weight of its own.
  WChar next = aLength > bLength ? a[n] : b[n];
  if (next >= 0x80 || order.rank[next] == 0) return false;
  *result = aLength > bLength ? 1 : -1;
  return true;
}

const uint8_t* QuickWeights() noexcept {
  const AsciiOrder& order = Ascii();
  return order.usable ? order.rank : nullptr;
}

uint32_t SortKey(const WChar* text, uint32_t length, uint8_t* out, uint32_t capacity) noexcept {
  const UCollator* collator = Collator();
  if (collator == nullptr) return 0;
  // The collator's own keys: ICU orders them exactly as ucol_strcoll orders
  // the texts. The key ends in a zero byte, the only one it holds, which
  // the caller may compare along with the rest.
  int32_t size = ucol_getSortKey(collator, reinterpret_cast<const UChar*>(text), static_cast<int32_t>(length), out,
                                 static_cast<int32_t>(capacity));
  return size > 0 ? static_cast<uint32_t>(size) : 0;
}

void LowerText(WChar* text, uint32_t length) noexcept {
  // Unit by unit: a surrogate unit maps to itself.
  for (uint32_t i = 0; i < length; ++i) {
    UChar32 lower = u_tolower(text[i]);
    if (lower <= 0xFFFF) text[i] = static_cast<WChar>(lower);
  }
}

uint32_t AnsiToWideStep(const char* text, int32_t length, WChar* out, uint32_t capacity) noexcept {
  UConverter* converter = ThreadConverter();
  if (converter == nullptr) return Refused(EINVAL);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetToUnicode(converter);
  int32_t units =
      ucnv_toUChars(converter, reinterpret_cast<UChar*>(out), static_cast<int32_t>(capacity), text, length, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR && out == nullptr) status = U_ZERO_ERROR;
  if (U_FAILURE(status) || units <= 0) return Refused(EILSEQ);
  return static_cast<uint32_t>(units);
}

uint32_t WideToAnsiStep(const WChar* text, int32_t length, char* out, uint32_t capacity) noexcept {
  UConverter* converter = ThreadConverter();
  if (converter == nullptr) return Refused(EINVAL);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetFromUnicode(converter);
  int32_t units = ucnv_fromUChars(converter, out, static_cast<int32_t>(capacity), reinterpret_cast<const UChar*>(text),
                                  length, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR && out == nullptr) status = U_ZERO_ERROR;
  if (U_FAILURE(status) || units <= 0) return Refused(EILSEQ);
  return static_cast<uint32_t>(units);
}

}  // namespace vel::ulmo::osdep
