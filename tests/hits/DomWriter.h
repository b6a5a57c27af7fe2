// The hit-list writer's reference: the results document built element by
// element in a DOM and written by the XML library's DOMLSSerializer with
// default settings and encoding "UTF-16". The writer's equivalence test
// compares against it, and a benchmark measures what it costs.
#ifndef TESSIK_TESTS_HITS_DOMWRITER_H_
#define TESSIK_TESTS_HITS_DOMWRITER_H_

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "hits/Hit.h"
#include "query/XMLManager.h"
#include "tessik/TessikClient.h"

// The serialiser's status and text for `list`; a serialiser that throws
// hands back no text.
inline std::pair<int32_t, std::basic_string<TessikChar>> SerialiseWithDom(Tessik::CNSHitList& list) {
  using namespace xercesc;
  DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(u"Core");
  DOMDocument* doc = impl->createDocument(nullptr, u"Results", nullptr);
  DOMElement* root = doc->getDocumentElement();
  for (Tessik::CNSHit* hit : list.HitsUnlocked()) {
    DOMElement* result = doc->createElement(u"Result");
    char score[64];
    std::snprintf(score, sizeof score, "%7.6e", hit->NormScore());
    // As the GNU C library writes NaN; some runtimes drop its sign.
    if (std::isnan(hit->NormScore()))
      std::snprintf(score, sizeof score, std::signbit(hit->NormScore()) ? "   -nan" : "    nan");
    std::u16string wide(score, score + std::char_traits<char>::length(score));
    result->setAttribute(u"norm_score", wide.c_str());
    hit->ForEachProperty([&](const vel::ulmo::WString& name, const vel::ulmo::WString& value) {
      DOMElement* property = doc->createElement(u"Property");
      property->setAttribute(u"name", Tessik::AsXml(name.CStr()));
      property->setTextContent(Tessik::AsXml(value.CStr()));
      result->appendChild(property);
    });
    root->appendChild(result);
  }
  DOMLSSerializer* serialiser = static_cast<DOMImplementationLS*>(impl)->createLSSerializer();
  DOMLSOutput* output = static_cast<DOMImplementationLS*>(impl)->createLSOutput();
  MemBufFormatTarget target(1023);
  output->setByteStream(&target);
  output->setEncoding(u"UTF-16");
  std::pair<int32_t, std::basic_string<TessikChar>> out{TESSIK_E_FAILED, {}};
  try {
    bool ok = serialiser->write(doc, output);
    out = {
        ok ? TESSIK_OK : TESSIK_E_FAILED,
        std::basic_string<TessikChar>(reinterpret_cast<const TessikChar*>(target.getRawBuffer()), target.getLen() / 2)};
  } catch (...) {
  }
  output->release();
  serialiser->release();
  doc->release();
  return out;
}

#endif  // TESSIK_TESTS_HITS_DOMWRITER_H_
