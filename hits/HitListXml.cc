#include "hits/HitListXml.h"

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLString.hpp>

#include <charconv>
#include <climits>
#include <cmath>
#include <memory>
#include <new>
#include <vector>

#include "query/XMLManager.h"
#include "tessik/TessikClient.h"
#include "ulmo/osdep/Number.h"

namespace Tessik {

using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

// --- Writing ------------------------------------------------------------------

template <size_t N>
void AppendAscii(XmlText& out, const char (&text)[N]) {
  WChar wide[N - 1];
  for (size_t i = 0; i + 1 < N; ++i) wide[i] = static_cast<WChar>(text[i]);
  out.append(wide, N - 1);
}

// What a unit below 0x80 becomes: 0 written as it is, 1 not allowed in XML,
// otherwise an index into kEscapes.
enum : uint8_t { kPlain = 0, kInvalid = 1, kQuot, kLt, kGt, kAmp, kTab, kLf, kCr };

struct EscapeTable {
  uint8_t attribute[128];
  uint8_t text[128];
  constexpr EscapeTable() : attribute(), text() {
    for (int c = 0; c < 0x20; ++c) attribute[c] = text[c] = kInvalid;
    attribute['\t'] = kTab;
    attribute['\n'] = kLf;
    attribute['\r'] = kCr;
    attribute['"'] = kQuot;
    attribute['<'] = kLt;
    attribute['&'] = kAmp;
    text['\t'] = text['\n'] = kPlain;
    text['\r'] = kCr;
    text['<'] = kLt;
    text['>'] = kGt;
    text['&'] = kAmp;
  }
};
constexpr EscapeTable kTable;

void AppendEscape(XmlText& out, uint8_t kind) {
  switch (kind) {
    case kQuot: return AppendAscii(out, "&quot;");
    case kLt: return AppendAscii(out, "&lt;");
    case kGt: return AppendAscii(out, "&gt;");
    case kAmp: return AppendAscii(out, "&amp;");
    case kTab: return AppendAscii(out, "&#x9;");
    case kLf: return AppendAscii(out, "&#xA;");
    default: return AppendAscii(out, "&#xD;");
  }
}

// Appends `text` escaped by `table`. False when it holds a character XML
// cannot carry; the serialiser refuses the whole document then.
bool AppendEscaped(XmlText& out, const WString& value, const uint8_t (&table)[128]) {
  const WChar* text = value.CStr();
  const uint32_t length = value.Length();
  uint32_t plainFrom = 0;
  for (uint32_t i = 0; i < length; ++i) {
    const uint32_t c = static_cast<uint16_t>(text[i]);
    if (c < 0x80) {
      const uint8_t kind = table[c];
      if (kind == kPlain) continue;
      if (kind == kInvalid) return false;
      out.append(text + plainFrom, i - plainFrom);
      AppendEscape(out, kind);
      plainFrom = i + 1;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      // A high surrogate followed by a low one is one character; any other
      // surrogate stands alone.
      if (c >= 0xDC00 || i + 1 == length) return false;
      const uint32_t next = static_cast<uint16_t>(text[i + 1]);
      if (next < 0xDC00 || next > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xFFFE) {
      return false;
    }
  }
  out.append(text + plainFrom, length - plainFrom);
  return true;
}

// --- Reading ------------------------------------------------------------------

const XMLCh kResult[] = u"Result";
const XMLCh kProperty[] = u"Property";
const XMLCh kName[] = u"name";
const XMLCh kNormScore[] = u"norm_score";
const XMLCh kRawScore[] = u"raw_score";

bool IsElementNamed(const DOMNode* node, const XMLCh* name) {
  return node->getNodeType() == DOMNode::ELEMENT_NODE && xercesc::XMLString::equals(node->getNodeName(), name);
}

// The node after `node` in document order within the subtree of `top`, or
// null. Walked by links: a node list's item(i) and getLength() would walk
// the subtree again.
const DOMNode* NextWithin(const DOMNode* node, const DOMNode* top) {
  if (const DOMNode* child = node->getFirstChild()) return child;
  while (node != top) {
    if (const DOMNode* sibling = node->getNextSibling()) return sibling;
    node = node->getParentNode();
  }
  return nullptr;
}

// The attribute as atof reads it, with "." as the decimal point.
double NumberOf(const DOMElement& element, const XMLCh* attribute) {
  const XMLCh* text = element.getAttribute(attribute);
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

// The element's whole text content. An element holding one text node (the
// usual case) gives that node's text without a copy.
const XMLCh* TextContentOf(const DOMElement& element) {
  const DOMNode* child = element.getFirstChild();
  if (child == nullptr) return u"";
  if (child->getNextSibling() == nullptr && child->getNodeType() == DOMNode::TEXT_NODE) return child->getNodeValue();
  const XMLCh* text = element.getTextContent();
  return text != nullptr ? text : u"";
}

// The hit of a "Result" element, or null when no "Property" is below it.
std::unique_ptr<CNSHit> ReadHit(const DOMElement& result) {
  std::unique_ptr<CNSHit> hit;
  for (const DOMNode* node = NextWithin(&result, &result); node != nullptr; node = NextWithin(node, &result)) {
    if (!IsElementNamed(node, kProperty)) continue;
    if (hit == nullptr) {
      hit = std::make_unique<CNSHit>();
      hit->SetNormScore(NumberOf(result, kNormScore));
      hit->SetRawScore(RawScoreOf(NumberOf(result, kRawScore)));
    }
    const DOMElement& property = static_cast<const DOMElement&>(*node);
    hit->SetProperty(AsWide(property.getAttribute(kName)), AsWide(TextContentOf(property)));
  }
  return hit;
}

std::unique_ptr<CNSHitList> ReadList(const DOMElement& root) {
  auto list = std::make_unique<CNSHitList>();
  // Nobody else sees the new list yet: hits go in without its lock.
  std::vector<CNSHit*>& hits = list->HitsUnlocked();
  for (const DOMNode* node = &root; node != nullptr; node = NextWithin(node, &root)) {
    if (!IsElementNamed(node, kResult)) continue;
    std::unique_ptr<CNSHit> hit = ReadHit(static_cast<const DOMElement&>(*node));
    if (hit == nullptr) continue;
    hits.push_back(hit.get());
    (void)hit.release();  // the list owns it now
  }
  return list;
}

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

int32_t WriteHitListXml(CNSHitList& list, XmlText& out) {
  out.clear();
  AppendAscii(out, "<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\" ?>");
  const std::vector<CNSHit*>& hits = list.HitsUnlocked();
  if (hits.empty()) {
    AppendAscii(out, "<Results/>");
    return TESSIK_OK;
  }
  out.reserve(out.size() + 64 * hits.size());
  AppendAscii(out, "<Results>");
  bool valid = true;
  for (const CNSHit* hit : hits) {
    AppendAscii(out, "<Result norm_score=\"");
    WChar score[32];
    out.append(score, FormatScore(hit->NormScore(), score));
    bool empty = true;
    hit->ForEachProperty([&](const WString& name, const WString& value) {
      if (!valid) return;
      if (empty) AppendAscii(out, "\">");
      AppendAscii(out, "<Property name=\"");
      empty = false;
      valid = AppendEscaped(out, name, kTable.attribute);
      AppendAscii(out, "\">");
      valid = valid && AppendEscaped(out, value, kTable.text);
      AppendAscii(out, "</Property>");
    });
    if (!valid) return TESSIK_E_FAILED;
    if (empty) {
      AppendAscii(out, "\"/>");
    } else {
      AppendAscii(out, "</Result>");
    }
  }
  AppendAscii(out, "</Results>");
  return TESSIK_OK;
}

int32_t ReadHitListXml(const WChar* xml, IHitList** outList) {
  if (xml == nullptr || outList == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outList = nullptr;
  DocumentPtr document(ParseXMLDocument(xml));
  if (document == nullptr || document->getDocumentElement() == nullptr) return TESSIK_E_XML_INVALID;
  std::unique_ptr<CNSHitList> list;
  try {
    list = ReadList(*document->getDocumentElement());
  } catch (const xercesc::OutOfMemoryException&) {
    // The DOM's own word for it; the boundary knows the standard one.
    throw std::bad_alloc();
  }
  *outList = list.release();
  return TESSIK_OK;
}

}  // namespace Tessik
