// Walking a parsed document without the DOM's own conveniences.
//
// The DOM's getTextContent and getElementsByTagName recurse (a deeply nested
// document could exhaust the stack) and check the type of every node they
// pass with a dynamic cast, which took half the time of reading a query.
// These walk with an explicit stack and touch only node types, names,
// values, first children and next siblings. The results are the same: text
// content is the text of every text and CDATA node inside, in document
// order, entity references expanded, comments and processing instructions
// left out; descendants come in document order.
#ifndef TESSIK_QUERY_DOMWALK_H_
#define TESSIK_QUERY_DOMWALK_H_

#include <xercesc/dom/DOMNode.hpp>

#include <vector>

#include "ulmo/StringBase.h"

namespace Tessik {

// The text content of `node`. Returns a text inside the document when one
// text node holds it all, else `scratch` filled with it; valid while both are.
const vel::ulmo::WChar* TextContent(const xercesc::DOMNode& node, vel::ulmo::WString& scratch);

// What a walk does after visiting a node.
enum class Walk { kInto, kOver, kStop };

// Visits every node below `node` in document order; visit(node) returns
// whether to walk into that node's children, over them, or to stop.
template <class Visit>
void WalkBelow(const xercesc::DOMNode& node, Visit&& visit) {
  std::vector<const xercesc::DOMNode*> parents;
  const xercesc::DOMNode* at = node.getFirstChild();
  while (at != nullptr) {
    const Walk next = visit(*at);
    if (next == Walk::kStop) return;
    if (const xercesc::DOMNode* child = next == Walk::kInto ? at->getFirstChild() : nullptr) {
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
}

// Calls visit(element) for every element below `node`, in document order
// (an entity reference's expansion included), until visit returns false.
template <class Visit>
void ForEachDescendantElement(const xercesc::DOMNode& node, Visit&& visit) {
  WalkBelow(node, [&](const xercesc::DOMNode& at) {
    if (at.getNodeType() == xercesc::DOMNode::ELEMENT_NODE && !visit(at)) return Walk::kStop;
    return Walk::kInto;
  });
}

}  // namespace Tessik

#endif  // TESSIK_QUERY_DOMWALK_H_
