#include "hits/HitListXml.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/util/XMLString.hpp>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <climits>
#include <cmath>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "query/XMLManager.h"
#include "tessik/TessikClient.h"
#include "ulmo/TextBuffer.h"
#include "ulmo/osdep/Number.h"

namespace Tessik {

namespace {

// --- Writing ------------------------------------------------------------------

// The document's text, written into the boundary buffer that is handed out,
// grown in place as need be: no second copy of a text that may run to
// megabytes.
class TextOut {
 public:
  explicit TextOut(size_t capacity) : begin_(vel::ulmo::ResizeTextBuffer(nullptr, Units(capacity))), at_(begin_) {
    end_ = begin_ + capacity;
  }
  ~TextOut() { vel::ulmo::DeleteTextBuffer(begin_); }
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  // Room for `more` units at `at()`.
  void Reserve(size_t more) {
    if (static_cast<size_t>(end_ - at_) < more) Grow(more);
  }
  WChar* at() { return at_; }
  void set_at(WChar* at) { at_ = at; }
  void Put(const WChar* text, size_t length) {
    std::memcpy(at_, text, sizeof(WChar) * length);
    at_ += length;
  }
  template <size_t N>
  void Put(const WChar (&literal)[N]) {
    Reserve(N - 1);
    Put(literal, N - 1);
  }

  // The text, NUL-terminated; the caller owns it. Trimmed only when more
  // than half of the buffer is unused: trimming may copy the whole text.
  WChar* Release() {
    Reserve(1);
    *at_++ = 0;
    size_t used = static_cast<size_t>(at_ - begin_);
    WChar* text = begin_;
    if (static_cast<size_t>(end_ - begin_) > 2 * used) text = vel::ulmo::ResizeTextBuffer(begin_, Units(used));
    begin_ = at_ = end_ = nullptr;
    return text;
  }

 private:
  static uint32_t Units(size_t count) {
    // Handed out as one buffer of Tessik_Allocate, whose count is 32 bits.
    if (count > 0xFFFFFFFEu) throw std::length_error("results document too long");
    return static_cast<uint32_t>(count);
  }
  void Grow(size_t more) {
    size_t used = static_cast<size_t>(at_ - begin_);
    size_t capacity = std::max<size_t>(2 * static_cast<size_t>(end_ - begin_), used + more);
    begin_ = vel::ulmo::ResizeTextBuffer(begin_, Units(capacity));
    at_ = begin_ + used;
    end_ = begin_ + capacity;
  }

  WChar* begin_;
  WChar* at_;
  WChar* end_;
};

// What a unit below 0x80 becomes: kPlain written as it is, kInvalid not
// allowed in XML, otherwise the escape it is written as.
enum : uint8_t { kPlain = 0, kInvalid = 1, kQuot, kLt, kGt, kAmp, kTab, kLf, kCr };

struct EscapeTable {
  uint8_t attribute[128];
  uint8_t text[128];
  constexpr EscapeTable() : attribute(), text() {
    for (int c = 0; c < 0x20; ++c) attribute[c] = text[c] = kInvalid;
    attribute[u'\t'] = kTab;
    attribute[u'\n'] = kLf;
    attribute[u'\r'] = kCr;
    attribute[u'"'] = kQuot;
    attribute[u'<'] = kLt;
    attribute[u'&'] = kAmp;
    text[u'\t'] = text[u'\n'] = kPlain;
    text[u'\r'] = kCr;
    text[u'<'] = kLt;
    text[u'>'] = kGt;
    text[u'&'] = kAmp;
  }
};
constexpr EscapeTable kTable;

// The escapes, each at most six units; index by kind.
constexpr WChar kEscapes[][7] = {TESSIK_TEXT(""),      TESSIK_TEXT(""),      TESSIK_TEXT("&quot;"),
                                 TESSIK_TEXT("&lt;"),  TESSIK_TEXT("&gt;"),  TESSIK_TEXT("&amp;"),
                                 TESSIK_TEXT("&#x9;"), TESSIK_TEXT("&#xA;"), TESSIK_TEXT("&#xD;")};
constexpr uint8_t kEscapeLength[] = {0, 0, 6, 4, 4, 5, 5, 5, 5};
constexpr size_t kLongestEscape = 6;

// Writes the unit at text[i] (two for a surrogate pair) escaped by `table`
// and moves i past it. False for a character XML cannot carry.
inline bool PutOne(const WChar* text, uint32_t length, uint32_t& i, WChar*& out, const uint8_t (&table)[128]) {
  const uint32_t c = static_cast<uint16_t>(text[i]);
  if (c < 0x80) {
    const uint8_t kind = table[c];
    if (kind == kPlain) {
      *out++ = text[i++];
      return true;
    }
    if (kind == kInvalid) return false;
    std::memcpy(out, kEscapes[kind], sizeof(WChar) * kLongestEscape);  // the array has the room
    out += kEscapeLength[kind];
    ++i;
    return true;
  }
  if (c >= 0xD800 && c <= 0xDFFF) {
    // A high surrogate followed by a low one is one character; any other
    // surrogate stands alone.
    if (c >= 0xDC00 || i + 1 == length) return false;
    const uint32_t next = static_cast<uint16_t>(text[i + 1]);
    if (next < 0xDC00 || next > 0xDFFF) return false;
    *out++ = text[i++];
    *out++ = text[i++];
    return true;
  }
  if (c >= 0xFFFE) return false;
  *out++ = text[i++];
  return true;
}

// Eight units at a time: most text has nothing to escape.
typedef uint16_t Units8 __attribute__((vector_size(16)));
typedef int16_t Marks8 __attribute__((vector_size(16)));
constexpr Units8 Splat(uint16_t unit) { return Units8{unit, unit, unit, unit, unit, unit, unit, unit}; }

// Bit k set when unit k is marked (all ones).
inline uint32_t MarkBits(Marks8 marks) {
#if defined(__SSE2__)
  __m128i wide = reinterpret_cast<__m128i>(marks);
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(wide, _mm_setzero_si128())));
#else
  uint32_t bits = 0;
  for (uint32_t k = 0; k < 8; ++k) bits |= static_cast<uint32_t>(marks[k] != 0) << k;
  return bits;
#endif
}

// Bit k set for unit k when it is below 0x20, markup the context escapes,
// or from the surrogates up (checked one by one: most of those are fine).
template <bool kAttribute>
inline uint32_t Marked(Units8 units) {
  return MarkBits((units < Splat(0x20)) | (units == Splat('&')) | (units == Splat('<')) |
                  (units == Splat(kAttribute ? '"' : '>')) | (units >= Splat(0xD800)));
}

template <bool kAttribute>
bool PutEscaped(TextOut& out, const WString& value) {
  const WChar* text = value.CStr();
  const uint32_t length = value.Length();
  const uint8_t(&table)[128] = kAttribute ? kTable.attribute : kTable.text;
  // Every unit may become an escape of six (a surrogate pair stays two).
  out.Reserve(static_cast<size_t>(length) * kLongestEscape + kLongestEscape);
  WChar* o = out.at();
  uint32_t i = 0;
  // Whole chunks of eight; the last one overlaps the one before it (the
  // units already written are passed over), so no chunk is read in part.
  while (length >= 8 && i < length) {
    const uint32_t chunk = i + 8 <= length ? i : length - 8;
    Units8 units;
    std::memcpy(&units, text + chunk, sizeof units);
    uint32_t marks = Marked<kAttribute>(units);
    marks &= ~0u << (i - chunk);  // units before i are written already
    if (marks == 0 && chunk == i) {
      std::memcpy(o, &units, sizeof units);  // the room was reserved
      o += 8;
      i += 8;
      continue;
    }
    // Straight to each marked unit; the ones between are copied as they are.
    for (; marks != 0; marks &= marks - 1) {
      const uint32_t at = chunk + static_cast<uint32_t>(std::countr_zero(marks));
      if (at < i) continue;  // the second half of a surrogate pair
      for (; i < at; ++i) *o++ = text[i];
      if (!PutOne(text, length, i, o, table)) return false;
    }
    for (; i < chunk + 8; ++i) *o++ = text[i];
  }
  if (length < 8 && length > 0) {
    // A short text (a name, mostly): built into one chunk unit by unit, and
    // written whole when nothing in it needs escaping (the room was reserved).
    Units8 units = Splat('A');
    for (uint32_t k = 0; k < length; ++k) units[k] = static_cast<uint16_t>(text[k]);
    if (Marked<kAttribute>(units) == 0) {
      std::memcpy(o, &units, sizeof units);
      out.set_at(o + length);
      return true;
    }
  }
  while (i < length) {
    if (!PutOne(text, length, i, o, table)) return false;
  }
  out.set_at(o);
  return true;
}

constexpr WChar kDeclaration[] = TESSIK_TEXT("<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>");
constexpr WChar kEmptyRoot[] = TESSIK_TEXT("<Results/>");
constexpr WChar kRootOpen[] = TESSIK_TEXT("<Results>");
constexpr WChar kRootClose[] = TESSIK_TEXT("</Results>");
constexpr WChar kResultOpen[] = TESSIK_TEXT("<Result norm_score=\"");
constexpr WChar kResultEmptyEnd[] = TESSIK_TEXT("\"/>");
constexpr WChar kResultClose[] = TESSIK_TEXT("</Result>");
constexpr WChar kPropertyOpen[] = TESSIK_TEXT("\"><Property name=\"");
constexpr WChar kPropertyNext[] = TESSIK_TEXT("<Property name=\"");
constexpr WChar kPropertyText[] = TESSIK_TEXT("\">");
constexpr WChar kPropertyClose[] = TESSIK_TEXT("</Property>");

// --- Reading ------------------------------------------------------------------

const XMLCh kResult[] = u"Result";
const XMLCh kProperty[] = u"Property";
const XMLCh kName[] = u"name";
const XMLCh kNormScore[] = u"norm_score";
const XMLCh kRawScore[] = u"raw_score";

// An attribute's text as atof reads it, with "." as the decimal point.
double NumberOf(const XMLCh* text) {
  if (text == nullptr) return 0;  // no such attribute: the empty text
  // ASCII, the only form a number takes, converts unit by unit; anything
  // else goes through the ANSI code page like every narrowed text.
  char small[64];
  size_t length = 0;
  bool ascii = true;
  for (; text[length] != 0; ++length) {
    if (text[length] >= 0x80) ascii = false;
  }
  if (ascii && length < sizeof small) {
    for (size_t i = 0; i <= length; ++i) small[i] = static_cast<char>(text[i]);
    return vel::ulmo::osdep::ParseClassicNumber(small);
  }
  vel::ulmo::AString narrow(AsWide(text));
  return vel::ulmo::osdep::ParseClassicNumber(narrow.CStr());
}

// Truncated toward zero; beyond the 32-bit range the nearest end, NaN 0.
int32_t RawScoreOf(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  if (value <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The hit list of a results document, read as events: no document is
// built. Every "Result" element at any depth is a hit, in the order the
// elements begin, when a "Property" element lies anywhere below it; each
// such property (of every "Result" it lies in) gives the hit its "name"
// attribute and its whole text content, character data and CDATA of
// every element below it included, in the order the properties begin.
class ListReader final : public xercesc::DefaultHandler {
 public:
  std::unique_ptr<CNSHitList> Take() {
    auto list = std::make_unique<CNSHitList>();
    // Nobody else sees the new list yet: hits go in without its lock.
    std::vector<CNSHit*>& hits = list->HitsUnlocked();
    hits.reserve(results_.size());
    for (Result& r : results_) {
      if (r.properties.empty()) continue;
      auto hit = std::make_unique<CNSHit>();
      hit->SetNormScore(r.norm);
      hit->SetRawScore(r.raw);
      for (size_t p : r.properties) {
        const Property& property = properties_[p];
        hit->SetProperty(AsWide(property.name.c_str()), AsWide(property.text.c_str()));
      }
      hits.push_back(hit.get());
      (void)hit.release();  // the list owns it now
    }
    return list;
  }

  void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const qname,
                    const xercesc::Attributes& attributes) override {
    if (xercesc::XMLString::equals(qname, kResult)) {
      results_.push_back({NumberOf(attributes.getValue(kNormScore)),
                          RawScoreOf(NumberOf(attributes.getValue(kRawScore))), {}});
      open_.push_back({Kind::kResult, results_.size() - 1});
    } else if (xercesc::XMLString::equals(qname, kProperty)) {
      const XMLCh* name = attributes.getValue(kName);
      properties_.push_back({name != nullptr ? name : u"", {}});
      const size_t at = properties_.size() - 1;
      for (const Open& o : open_) {
        if (o.kind == Kind::kResult) results_[o.index].properties.push_back(at);
      }
      open_.push_back({Kind::kProperty, at});
      ++openProperties_;
    } else {
      open_.push_back({Kind::kOther, 0});
    }
  }

  void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
    if (open_.back().kind == Kind::kProperty) --openProperties_;
    open_.pop_back();
  }

  void characters(const XMLCh* const chars, const XMLSize_t length) override {
    if (openProperties_ == 0) return;
    for (const Open& o : open_) {
      if (o.kind == Kind::kProperty) properties_[o.index].text.append(chars, length);
    }
  }
  // White space a DTD calls ignorable is text all the same, as in a
  // document the parser builds.
  void ignorableWhitespace(const XMLCh* const chars, const XMLSize_t length) override { characters(chars, length); }

 private:
  enum class Kind { kResult, kProperty, kOther };
  struct Open {
    Kind kind;
    size_t index;  // into results_ or properties_
  };
  struct Result {
    double norm;
    int32_t raw;
    std::vector<size_t> properties;  // into properties_, in the order they begin
  };
  struct Property {
    std::u16string name, text;
  };
  std::vector<Open> open_;  // the elements begun and not yet ended
  size_t openProperties_ = 0;
  std::vector<Result> results_;
  std::vector<Property> properties_;
};

}  // namespace

uint32_t FormatScore(double score, WChar* out) {
  // std::to_chars writes what printf's "%.6e" writes in the "C" locale,
  // exponent of at least two digits and "inf"/"nan" included; the width of 7
  // pads only those.
  char text[32];
  std::to_chars_result r = std::to_chars(text, text + sizeof text, score, std::chars_format::scientific, 6);
  uint32_t length = static_cast<uint32_t>(r.ptr - text);
  uint32_t pad = length < 7 ? 7 - length : 0;
  for (uint32_t i = 0; i < pad; ++i) out[i] = ' ';
  for (uint32_t i = 0; i < length; ++i) out[pad + i] = static_cast<WChar>(text[i]);
  return pad + length;
}

int32_t WriteHitListXml(CNSHitList& list, WChar** outText) {
  const std::vector<CNSHit*>& hits = list.HitsUnlocked();
  // A guess that a list of a few short properties per hit fits; more is
  // made as need be.
  TextOut out(128 + 192 * hits.size());
  out.Put(kDeclaration);
  if (hits.empty()) {
    out.Put(kEmptyRoot);
  } else {
    out.Put(kRootOpen);
    for (size_t h = 0; h < hits.size(); ++h) {
      // A sorted list lies in memory in no particular order.
      if (h + 8 < hits.size()) __builtin_prefetch(hits[h + 8]);
      if (h + 4 < hits.size()) hits[h + 4]->PrefetchProperties();
      if (h + 2 < hits.size()) hits[h + 2]->PrefetchTexts(true);
      const CNSHit* hit = hits[h];
      out.Put(kResultOpen);
      out.Reserve(32);
      out.set_at(out.at() + FormatScore(hit->NormScore(), out.at()));
      bool empty = true, valid = true;
      hit->ForEachProperty([&](const WString& name, const WString& value) {
        if (!valid) return;
        if (empty) {
          out.Put(kPropertyOpen);
        } else {
          out.Put(kPropertyNext);
        }
        empty = false;
        valid = PutEscaped<true>(out, name);
        out.Put(kPropertyText);
        valid = valid && PutEscaped<false>(out, value);
        out.Put(kPropertyClose);
      });
      // The serialiser refuses a document with such a character and hands
      // back nothing.
      if (!valid) return TESSIK_E_FAILED;
      if (empty) {
        out.Put(kResultEmptyEnd);
      } else {
        out.Put(kResultClose);
      }
    }
    out.Put(kRootClose);
  }
  *outText = out.Release();
  return TESSIK_OK;
}

int32_t ReadHitListXml(const WChar* xml, IHitList** outList) {
  if (xml == nullptr || outList == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outList = nullptr;
  ListReader reader;
  if (*xml == 0 || !ParseXMLEvents(xml, reader)) return TESSIK_E_XML_INVALID;
  *outList = reader.Take().release();
  return TESSIK_OK;
}

}  // namespace Tessik
