// The XML query reader: turns a query document into a CNSQuery.
//
// The document's root element (any name) carries the flags "synonym",
// "stemming" and "case_sensitivity"; among its direct children, every
// "Domain" becomes a domain (its first descendant "Name" names it, and every
// descendant "Property" adds the text under its "name" attribute), every
// "Category" a category, and the last "TermGroup" the term group, whose
// direct "Term" children become terms (the last "Text" child is the text,
// every "Field" child a field). Direct children are recognised by the
// case-insensitive comparison; "Name", "Property" and attribute names are
// exact. Everything else is passed over, and no element is required.
#ifndef TESSIK_QUERY_QUERYREADER_H_
#define TESSIK_QUERY_QUERYREADER_H_

#include <xercesc/dom/DOMElement.hpp>

#include <cstdint>
#include <memory>

#include "query/Query.h"

namespace Tessik {

// Reads the document in `xml` into *outQuery, which the caller owns. The
// result pointer is set to null first and receives a query only on success.
// TESSIK_OK; TESSIK_E_NULL_ARGUMENT (nothing written); TESSIK_E_XML_INVALID
// (not a well-formed document, or no root element). Throws std::bad_alloc
// when memory runs out outside a term group (inside one, the element that
// failed is left out and the reading goes on).
int32_t ParseQueryFromXML(const WChar* xml, IQuery** outQuery);

// Builds the query of a parsed document's root element. Throws
// std::bad_alloc as above.
std::unique_ptr<CNSQuery> BuildQuery(const xercesc::DOMElement& root);

}  // namespace Tessik

#endif  // TESSIK_QUERY_QUERYREADER_H_
