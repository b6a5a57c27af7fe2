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
  WalkBelow(node, [&](const DOMNode& at) {
    if (IsText(at)) {
      scratch.Append(AsWide(at.getNodeValue()));
      return Walk::kOver;
    }
    // Comments and processing instructions hold no content text.
    const bool holdsText =
        at.getNodeType() == DOMNode::ELEMENT_NODE || at.getNodeType() == DOMNode::ENTITY_REFERENCE_NODE;
    return holdsText ? Walk::kInto : Walk::kOver;
  });
  return scratch.CStr();
}

}  // namespace Tessik
