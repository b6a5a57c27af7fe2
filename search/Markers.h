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

inline constexpr char kResultStart[] = "<result ";
inline constexpr char kResultsEnd[] = "</results>";

// The first position in [from, to) where `marker` begins and fits wholly
// before `to`, or WString::npos.
uint32_t Find(const vel::ulmo::WChar* text, uint32_t from, uint32_t to, const char* marker);

}  // namespace Tessik::markers

#endif  // TESSIK_SEARCH_MARKERS_H_
