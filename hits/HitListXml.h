// The hit-list XML format: a results document ("Results" holding one
// "Result" per hit, with its "norm_score" attribute and one "Property"
// element per property, "name" attribute and text) written from a hit list
// and read back into one.
#ifndef TESSIK_HITS_HITLISTXML_H_
#define TESSIK_HITS_HITLISTXML_H_

#include <cstdint>

#include "hits/Hit.h"

namespace Tessik {

// Writes `list` (read without its lock: the caller must not change it
// meanwhile) as a results document into *outText, a new buffer of
// Tessik_Allocate that the caller owns. TESSIK_OK; TESSIK_E_FAILED when a
// property name or value holds a character that XML cannot carry (a
// control character other than tab, line feed and carriage return, an
// unpaired surrogate, U+FFFE or U+FFFF), and *outText is then not set.
// Throws std::bad_alloc, and std::length_error for a text beyond 32-bit
// lengths.
//
// The text is the one an XML serialiser with default settings writes for
// the document: the declaration `<?xml version="1.0" encoding="UTF-16"
// standalone="no" ?>`, no byte-order mark, no line breaks, empty elements as
// `<Name/>`; in attribute values `"` `<` `&` tab, line feed and carriage
// return are escaped, in text `<` `&` `>` and carriage return, and every
// other character is written as it is. Results merged as text rely on that
// shape: "Result" is always followed by a space, and a list with hits ends
// with "</Results>".
int32_t WriteHitListXml(CNSHitList& list, WChar** outText);

// "%7.6e" with "." as the decimal point, whatever the process's locale:
// "7.500000e-01", "-1.250000e+01", "    inf", "   -nan". Returns the length
// written to `out`, which has room for 32 units.
uint32_t FormatScore(double score, WChar* out);

// Reads the results document `xml` into a new list in *outList, which the
// caller owns. *outList is set to null first. TESSIK_OK (a document without
// "Result" gives an empty list); TESSIK_E_NULL_ARGUMENT (nothing written);
// TESSIK_E_XML_INVALID (not a well-formed document). Throws std::bad_alloc
// when memory runs out, and the system error when the lists' lock cannot
// be opened.
//
// Every "Result" element anywhere, in document order, with at least one
// "Property" element anywhere below it, becomes a hit: "norm_score" and
// "raw_score" are read as the C library's atof reads them (with "."
// always the decimal point; a missing attribute reads as 0; a raw score
// beyond the 32-bit range saturates, NaN gives 0), and each "Property"
// below adds its "name" attribute and its text content (the first of
// names equal but for case stays). Element and attribute names are exact.
int32_t ReadHitListXml(const WChar* xml, IHitList** outList);

}  // namespace Tessik

#endif  // TESSIK_HITS_HITLISTXML_H_
