// What a reference plugin reads off the query it is handed: the terms with
// their fields and widened forms, the categories, the flags and the
// properties of the domain that names the plugin.
#ifndef TESSIK_PLUGINS_KIT_REQUEST_H_
#define TESSIK_PLUGINS_KIT_REQUEST_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class IQuery;

namespace tessik_plugins {

// Where a term is looked for. Field names of the query map onto these
// ("title"; "text", "body" or "content"); other names are ignored, and a term
// left with no known field is looked for everywhere.
enum Field : unsigned { kTitle = 1, kBody = 2, kAnyField = kTitle | kBody };

struct Term {
  std::string word;  // as the query wrote it (UTF-8)
  unsigned fields = kAnyField;
  bool excluded = false;  // the pseudo-field "not": documents with it are left out
  // Further words that count as this term, lower-cased, without `word`:
  // synonyms from the library's word look-up when the query asks for them.
  std::vector<std::string> synonyms;
};

// How the terms combine. "And" needs every term that is not excluded, "Or"
// any of them, and "Not" none of the terms at all (so it selects what the
// categories leave, minus the words). Excluded terms are left out under
// every operator.
enum class Compose : uint32_t { kAnd = 0, kOr = 1, kNot = 2 };

struct Request {
  // False when the query names domains and none of them is this plugin's:
  // the plugin then answers with no hits.
  bool addressed = true;
  Compose compose = Compose::kAnd;
  // One per word of the query's terms (a text of several words is several
  // terms); a text with no word in it gives none.
  std::vector<Term> terms;
  // How many terms the query held, and how many of them a hit would need
  // (not excluded), before texts without a word were dropped.
  size_t termsGiven = 0, requiredGiven = 0;
  std::vector<std::string> categories;  // none: every category
  // A case-sensitive query matches each word exactly as written, so it
  // takes neither stems nor synonyms: ReadRequest clears those two flags
  // when it sets this one.
  bool stemming = false;
  bool synonyms = false;
  bool caseSensitive = false;
  // The properties of the domain element that named this plugin (names
  // folded to lower case).
  std::map<std::string, std::string> properties;

  std::string Property(const std::string& name, const std::string& fallback) const;
};

// Reads `query` (an IQuery, or null: nothing to search) on the calling
// thread. `domain` is the plugin's domain name, matched without regard to
// case. Synonyms are looked up here, through the library that loaded the
// plugin, when the query asks for them.
Request ReadRequest(const void* query, const std::string& domain);

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_REQUEST_H_
