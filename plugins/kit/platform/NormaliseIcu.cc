// The normaliser's steps on ICU (Linux).
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <stdexcept>
#include <string>

#include "kit/platform/Unicode.h"

namespace tessik_plugins::unicode {

namespace {

static_assert(sizeof(UChar) == sizeof(TessikChar), "ICU's code units are UTF-16");

const UChar* In(const Utf16& text) { return reinterpret_cast<const UChar*>(text.data()); }
UChar* Out(Utf16& text) { return reinterpret_cast<UChar*>(text.data()); }

// Runs an ICU call that writes into a buffer of a given room, once more
// with the room it asked for when that was too little.
template <typename Call>
Utf16 Grown(const Utf16& text, Call call) {
  Utf16 out(text.size() + text.size() / 2 + 4, TessikChar(0));
  UErrorCode error = U_ZERO_ERROR;
  int32_t length = call(Out(out), static_cast<int32_t>(out.size()), &error);
  if (error == U_BUFFER_OVERFLOW_ERROR) {
    out.assign(static_cast<size_t>(length), TessikChar(0));
    error = U_ZERO_ERROR;
    length = call(Out(out), static_cast<int32_t>(out.size()), &error);
  }
  if (U_FAILURE(error)) throw std::runtime_error(std::string("ICU: ") + u_errorName(error));
  out.resize(static_cast<size_t>(length));
  return out;
}

const UNormalizer2* NormalizerOf(Form form) {
  UErrorCode error = U_ZERO_ERROR;
  const UNormalizer2* normalizer = form == Form::kC   ? unorm2_getNFCInstance(&error)
                                   : form == Form::kD ? unorm2_getNFDInstance(&error)
                                                      : unorm2_getNFKCInstance(&error);
  if (U_FAILURE(error)) throw std::runtime_error(std::string("ICU: ") + u_errorName(error));
  return normalizer;
}

}  // namespace

Utf16 Normalised(const Utf16& text, Form form) {
  const UNormalizer2* normalizer = NormalizerOf(form);
  return Grown(text, [&](UChar* out, int32_t room, UErrorCode* error) {
    return unorm2_normalize(normalizer, In(text), static_cast<int32_t>(text.size()), out, room, error);
  });
}

Utf16 CaseFolded(const Utf16& text) {
  return Grown(text, [&](UChar* out, int32_t room, UErrorCode* error) {
    return u_strFoldCase(out, room, In(text), static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, error);
  });
}

Utf16 WithoutAccents(const Utf16& text) {
  Utf16 out;
  out.reserve(text.size());
  const UChar* units = In(text);
  const int32_t length = static_cast<int32_t>(text.size());
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U16_NEXT(units, i, length, c);
    const int8_t type = u_charType(c);
    if (c <= 0xFFFF && (type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK) &&
        !IsKanaVoicingMark(static_cast<char32_t>(c)))
      continue;
    out.append(text, static_cast<size_t>(start), static_cast<size_t>(i - start));
  }
  return out;
}

}  // namespace tessik_plugins::unicode
