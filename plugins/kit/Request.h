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

// A term's words are as written (in NFC, kit/Normalise.h's Canonical):
// each engine folds them as its index folded its own words. Over the
// indexes Tessik writes that is the kit's normaliser (Normalise, Tokens);
// over others it is their own rule (omindex: lower case with the accents;
// an FTS5 table: its tokenizer, which FTS5 runs on the query as well).
struct Term {
  std::string word;  // as the query wrote it (UTF-8, NFC)
  unsigned fields = kAnyField;
  bool excluded = false;  // the pseudo-field "not": documents with it are left out
  // Further words that count as this term, as the word library wrote them,
  // none the same as `word` once normalised: synonyms from the library's
  // word look-up when the query asks for them.
  std::vector<std::string> synonyms;
};

// How the terms combine. "And" needs every term that is not excluded, "Or"
// any of them, and "Not" none of the terms at all (so it selects what the
// categories leave, minus the words). Excluded terms are left out under
// every operator.
enum class Compose : uint32_t { kAnd = 0, kOr = 1, kNot = 2 };

// One domain of the query that this plugin answers for.
struct Domain {
  std::string name;  // as the query wrote it: the "domain" of every hit
  // Every property of the domain element, names folded to lower case:
  // "data" (the documents to open; the configuration's when the element is
  // the plugin's own domain and gives none), "limit", "engine", and what
  // an engine reads of its own.
  std::map<std::string, std::string> properties;

  std::string Property(const std::string& name, const std::string& fallback) const;
};

struct Request {
  // The domains this plugin answers for, in the query's order. A domain
  // element is this plugin's when its name is the plugin's domain, or when
  // its "engine" property is the plugin's name (the library's base file
  // name): so one plugin serves every source over its engine in one search.
  // A query that names no domain gives the plugin's own domain alone; one
  // that names only others gives none, and the plugin answers with no hits.
  std::vector<Domain> domains;
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
};

// Who a plugin is: its domain, its name (the engine it serves) and the data
// of its own domain.
struct Identity {
  std::string domain, name, data;
};

// Reads `query` (an IQuery, or null: nothing to search) on the calling
// thread, for the plugin `self`; names match without regard to case.
// Synonyms are looked up here, through the library that loaded the plugin,
// when the query asks for them.
Request ReadRequest(const void* query, const Identity& self);

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_REQUEST_H_
