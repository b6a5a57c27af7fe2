#include "query/QueryReader.h"

#include <xercesc/util/OutOfMemoryException.hpp>

#include <new>

#include "tessik/TessikClient.h"

#include "query/DomWalk.h"
#include "query/XMLManager.h"

namespace Tessik {

using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

template <size_t N>
bool EqualsIgnoringCase(const XMLCh* text, const char16_t (&name)[N]) {
  // The names are ASCII, so their UTF-16 units are the same as TessikChar's.
  WChar wide[N];
  for (size_t i = 0; i < N; ++i) wide[i] = static_cast<WChar>(name[i]);
  return vel::ulmo::CompareIgnoringCase(AsWide(text), static_cast<uint32_t>(xercesc::XMLString::stringLen(text)), wide,
                                        N - 1) == 0;
}

// An element node whose name equals `name` but for case. Other nodes (a
// processing instruction whose target looks like an element name, say)
// never match, and neither does a prefixed name.
template <size_t N>
const DOMElement* ElementNamed(const DOMNode* node, const char16_t (&name)[N]) {
  if (node->getNodeType() != DOMNode::ELEMENT_NODE) return nullptr;
  if (!EqualsIgnoringCase(node->getNodeName(), name)) return nullptr;
  return static_cast<const DOMElement*>(node);
}

// Text content, gathered (when it must be) into one buffer per document
// read: every text is copied into the query before the next is asked for.
class TextReader {
 public:
  const WChar* operator()(const DOMNode& node) { return TextContent(node, scratch_); }

 private:
  WString scratch_;
};

// Every child of `element` in document order. Walked from sibling to
// sibling: the child list's item(i) starts again at the first child on every
// call, which made a root with 20,000 children take seconds.
template <class Visit>
void ForEachChild(const DOMElement& element, Visit&& visit) {
  for (const DOMNode* child = element.getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    visit(*child);
  }
}

std::unique_ptr<CNSDomain> BuildDomain(const DOMElement& element, TextReader& TextOf) {
  auto domain = std::make_unique<CNSDomain>();
  // Exact tag names, anywhere inside, in document order: the first "Name"
  // counts, even one nested in a "Property".
  ForEachDescendantElement(element, [&](const DOMNode& name) {
    if (!xercesc::XMLString::equals(name.getNodeName(), u"Name")) return true;
    domain->SetName(TextOf(name));
    return false;
  });
  ForEachDescendantElement(element, [&](const DOMNode& property) {
    if (xercesc::XMLString::equals(property.getNodeName(), u"Property")) {
      // Without a "name" attribute the property is stored under the empty name.
      domain->AddProperty(AsWide(static_cast<const DOMElement&>(property).getAttribute(u"name")), TextOf(property));
    }
    return true;
  });
  return domain;
}

// Running out of memory while one term or term group is built leaves that
// element out, and the rest of the document is still read.
// Returns whether `build` ran to its end.
template <class Build>
bool LeftOutWhenMemoryRunsOut(Build&& build) {
  try {
    build();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const xercesc::OutOfMemoryException&) {
  }
  return false;
}

std::unique_ptr<CNSTerm> BuildTerm(const DOMElement& element, TextReader& TextOf) {
  auto term = std::make_unique<CNSTerm>();
  ForEachChild(element, [&](const DOMNode& child) {
    if (ElementNamed(&child, u"Text")) {
      term->SetText(TextOf(child));  // the last "Text" wins
    } else if (ElementNamed(&child, u"Field")) {
      term->AddField(TextOf(child));
    }
  });
  return term;
}

std::unique_ptr<CNSTermGroup> BuildTermGroup(const DOMElement& element, TextReader& TextOf) {
  auto group = std::make_unique<CNSTermGroup>();
  const XMLCh* compose = element.getAttribute(u"compose");
  if (EqualsIgnoringCase(compose, u"And")) {
    group->SetCompose(TESSIK_COMPOSE_AND);
  } else if (EqualsIgnoringCase(compose, u"Or")) {
    group->SetCompose(TESSIK_COMPOSE_OR);
  } else if (EqualsIgnoringCase(compose, u"Not")) {
    group->SetCompose(TESSIK_COMPOSE_NOT);
  }
  // Only direct "Term" children count: a nested "TermGroup" is passed over.
  ForEachChild(element, [&](const DOMNode& child) {
    if (const DOMElement* term = ElementNamed(&child, u"Term")) {
      LeftOutWhenMemoryRunsOut([&] { group->AddTerm(BuildTerm(*term, TextOf)); });
    }
  });
  return group;
}

bool IsTrue(const XMLCh* value) { return EqualsIgnoringCase(value, u"true"); }

}  // namespace

std::unique_ptr<CNSQuery> BuildQuery(const DOMElement& root) {
  try {
    TextReader TextOf;
    auto query = std::make_unique<CNSQuery>();
    query->SetFlags(IsTrue(root.getAttribute(u"synonym")), IsTrue(root.getAttribute(u"stemming")),
                    IsTrue(root.getAttribute(u"case_sensitivity")));
    ForEachChild(root, [&](const DOMNode& child) {
      if (const DOMElement* domain = ElementNamed(&child, u"Domain")) {
        // Added whether or not it got a name.
        query->AddDomain(BuildDomain(*domain, TextOf));
      } else if (const DOMElement* category = ElementNamed(&child, u"Category")) {
        query->AddCategory(TextOf(*category));
      } else if (const DOMElement* group = ElementNamed(&child, u"TermGroup")) {
        // The last group wins; one that failed leaves the one before in place.
        std::unique_ptr<CNSTermGroup> built;
        if (LeftOutWhenMemoryRunsOut([&] { built = BuildTermGroup(*group, TextOf); }))
          query->SetTermGroup(std::move(built));
      }
      // A "Term" directly under the root, and everything else, adds nothing.
    });
    return query;
  } catch (const xercesc::OutOfMemoryException&) {
    // The DOM allocates text content from its own heap and reports running
    // out in its own way; to the caller it is the same failure.
    throw std::bad_alloc();
  }
}

int32_t ParseQueryFromXML(const WChar* xml, IQuery** outQuery) {
  if (xml == nullptr || outQuery == nullptr) return TESSIK_E_NULL_ARGUMENT;
  *outQuery = nullptr;
  // Released on every path, the failures included.
  DocumentPtr document(ParseXMLDocument(xml));
  if (document == nullptr) return TESSIK_E_XML_INVALID;
  const DOMElement* root = document->getDocumentElement();
  if (root == nullptr) return TESSIK_E_XML_INVALID;
  *outQuery = BuildQuery(*root).release();
  return TESSIK_OK;
}

}  // namespace Tessik
