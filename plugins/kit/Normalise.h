// The one text normaliser of the indexes Tessik writes and of the queries
// asked of them: the folder index, tessik-index-sqlite's and
// tessik-index-xapian's databases store their words in this form, and the
// plugins look the query's words up in it, so that "café", "CAFÉ", "cafe"
// and "Cafe\u0301" are one word wherever they are written.
//
// The work is the platform's (ICU on Linux, the Windows API on Windows:
// kit/platform/Normalise{Icu,Win32}.cc, chosen by the build); both are held
// to the same hand-written list of inputs and outputs
// (tests/plugins/fixture/normalise.txt), which also says where a rule was
// chosen rather than given.
#ifndef TESSIK_PLUGINS_KIT_NORMALISE_H_
#define TESSIK_PLUGINS_KIT_NORMALISE_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessik_plugins {

// The form text is matched in: NFKC (ligatures, full-width and other
// compatibility forms become their plain letters and digits), full case
// folding (so "ß" is "ss" and the final sigma a sigma), then the accents
// removed (the nonspacing marks of the NFD form), composed again (NFC).
// Japanese kana keep their voicing marks: "が" is not "か". Idempotent.
// Malformed UTF-8 becomes U+FFFD first.
std::string Normalise(std::string_view utf8);

// The text as written, in NFC: what a case-sensitive query compares, so
// that the precomposed "é" and "e" with a combining acute are one spelling.
std::string Canonical(std::string_view utf8);

// The tokens of `utf8` in the indexes Tessik writes: each word of
// kit/Text.h's Words normalised, and split again where normalising made a
// separator of a part of it ("½" is "1" and "2"). `each` receives every
// token with the byte range of the word of `utf8` it came from, which is
// what a snippet marks. The indexers and the query path both read words
// through here.
void ForEachToken(std::string_view utf8,
                  const std::function<void(std::string_view token, size_t begin, size_t end)>& each);
std::vector<std::string> Tokens(std::string_view utf8);

// Whether one of the words of `text` is `word` as written (both compared
// in their Canonical form): how a case-sensitive query checks a hit.
bool HoldsWordAsWritten(std::string_view text, std::string_view word);

// How often `word` is one of the words of `text` as written (both compared
// in their Canonical form): what a case-sensitive query counts.
size_t CountWordAsWritten(std::string_view text, std::string_view word);

// How often the tokens of `word` (Tokens, usually one) follow each other
// among the tokens of `text`: what an index of the normalised words counts
// of it. 0 for a word without tokens.
size_t CountTokens(std::string_view text, std::string_view word);

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_NORMALISE_H_
