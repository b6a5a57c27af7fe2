#include "query/DomWalk.h"

#include "query/XMLManager.h"

namespace Tessik {

using xercesc::DOMNode;

namespace {

bool IsText(const DOMNode& node) {
  return node.getNodeType() == DOMNode::TEXT_NODE || node.getNodeType() == DOMNode::CDATA_SECTION_NODE;
}

}  // namespace

const WChar* TextContent(const DOMNode& node, vel::ulmo::WString& scratch) {
  const DOMNode* first = node.getFirstChild();
  if (first == nullptr) return AsWide(u"");
  // The common case, one text node and nothing else, is read in place.
  if (first->getNextSibling() == nullptr && IsText(*first)) return AsWide(first->getNodeValue());
  scratch.Clear();
  std::vector<const DOMNode*> parents;
  const DOMNode* at = first;
  while (at != nullptr) {
    if (IsText(*at)) {
      scratch.Append(AsWide(at->getNodeValue()));
    } else if (const DOMNode* child = at->getFirstChild();
               child != nullptr &&
               (at->getNodeType() == DOMNode::ELEMENT_NODE || at->getNodeType() == DOMNode::ENTITY_REFERENCE_NODE)) {
      parents.push_back(at);
      at = child;
      continue;
    }
    while (at->getNextSibling() == nullptr && !parents.empty()) {
      at = parents.back();
      parents.pop_back();
    }
    at = at->getNextSibling();
  }
  return scratch.CStr();
}

}  // namespace Tessik
