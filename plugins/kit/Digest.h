// The digest of a document's text, which the reference plugins' indexers
// store and their hits carry ("digest", kit/Names.h) so that the search core
// can tell the same text under two ids, or in two sources, apart from
// different texts. One function for every indexer: an index keeps the
// digests it was made with, so a change of the normalisation below changes
// the format version of every index that stores them.
#ifndef TESSIK_PLUGINS_KIT_DIGEST_H_
#define TESSIK_PLUGINS_KIT_DIGEST_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace tessik_plugins {

// The text a digest is taken of: the words (kit/Text.h Words) of the
// title and then of the text, folded with Fold, joined by one space. So
// punctuation, white space, case and where the title ends do not count.
std::string NormalisedText(std::string_view title, std::string_view text);

// 64-bit FNV-1a of `bytes`.
uint64_t Fnv1a64(std::string_view bytes);

// The digest of a document: Fnv1a64 of its NormalisedText, as 16
// lower-case hexadecimal digits.
std::string Digest(std::string_view title, std::string_view text);

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_DIGEST_H_
