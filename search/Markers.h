// Finding the two markers of the result merge, "<result " and "</results>",
// without regard to case and without making a lower-cased copy of the
// document. Both markers are ASCII, and no unit outside ASCII lower-cases to
// one of their characters, so comparing ASCII letters case-insensitively
// finds exactly what a search in a lower-cased copy would find.
#ifndef TESSIK_SEARCH_MARKERS_H_
#define TESSIK_SEARCH_MARKERS_H_

#include <cstdint>

#include "ulmo/StringBase.h"

namespace Tessik::markers {

struct Positions {
  uint32_t start;  // the first "<result " before `end`, or npos
  uint32_t end;    // the first "</results>", or npos
};

// Both positions in one pass over the document's `length` units; no unit
// past them is read.
Positions Locate(const vel::ulmo::WChar* text, uint32_t length);

}  // namespace Tessik::markers

#endif  // TESSIK_SEARCH_MARKERS_H_
