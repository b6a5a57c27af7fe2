#include "ranking/Reference.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "kit/Digest.h"
#include "kit/Text.h"
#include "ranking/Bm25Weight.h"

namespace tessik_ranking {

namespace {

// Prefixes no folded word starts with: Fold makes ASCII letters lower case.
constexpr const char* kKey = "Q";
constexpr const char* kDomain = "XD";
// Words too long for a Xapian term still count in a document's length:
// their occurrences are this term's wdf.
constexpr const char* kLong = "XLONG";
constexpr size_t kMaxTerm = 240;

}  // namespace

std::vector<std::string> Terms(std::string_view utf8) {
  std::vector<std::string> terms;
  for (const std::string& word : tessik_plugins::Words(utf8)) terms.push_back(tessik_plugins::Fold(word));
  return terms;
}

Reference::Reference(const std::string& path, const std::vector<Document>& documents) {
  // One entry per text: its keys, least first, and the document's terms.
  struct Entry {
    std::set<std::string> keys, domains;
    std::vector<std::string> terms;
  };
  std::map<std::string, Entry> byText;
  std::vector<Entry> wordless;  // no text to be the same as another's: each its own
  for (const Document& d : documents) {
    // The kit's own reading of "the same text", which the plugins' digests
    // are taken of: the folded words of title and text, one space between.
    const std::string text = tessik_plugins::NormalisedText(d.title, d.text);
    ++perDomain_[d.domain];
    Entry& e = text.empty() ? wordless.emplace_back() : byText[text];
    e.keys.insert(d.Key());
    e.domains.insert(d.domain);
    if (e.terms.empty()) {
      e.terms = Terms(d.title);
      for (std::string& term : Terms(d.text)) e.terms.push_back(std::move(term));
    }
  }
  std::vector<Entry*> entries;
  for (auto& [text, e] : byText) entries.push_back(&e);
  for (Entry& e : wordless) entries.push_back(&e);
  // Documents go in by key, so that docids, which order equal scores, do too.
  std::sort(entries.begin(), entries.end(), [](const Entry* a, const Entry* b) { return *a->keys.begin() < *b->keys.begin(); });

  std::filesystem::remove_all(tessik_plugins::PathOf(path));
  Xapian::WritableDatabase db(path, Xapian::DB_CREATE_OR_OVERWRITE);
  for (const Entry* e : entries) {
    const std::string& key = *e->keys.begin();
    for (const std::string& k : e->keys) canonical_.emplace(k, key);
    Xapian::Document doc;
    Xapian::termcount tooLong = 0;
    for (const std::string& term : e->terms) {
      if (term.empty() || term.size() > kMaxTerm) ++tooLong;
      else doc.add_term(term);
    }
    if (tooLong > 0) doc.add_term(kLong, tooLong);
    doc.add_boolean_term(kKey + key);
    for (const std::string& domain : e->domains) doc.add_boolean_term(kDomain + domain);
    doc.set_data(key);
    db.add_document(doc);
  }
  db.commit();
  db.close();
  documents_ = entries.size();
  db_ = Xapian::Database(path);
}

Xapian::Query Reference::QueryOf(const std::vector<std::string>& words) const {
  std::vector<std::string> terms;
  for (const std::string& word : words)
    for (std::string& term : Terms(word))
      if (std::find(terms.begin(), terms.end(), term) == terms.end()) terms.push_back(std::move(term));
  return Xapian::Query(Xapian::Query::OP_AND, terms.begin(), terms.end());
}

std::vector<Ranked> Reference::Search(const std::vector<std::string>& words, size_t k, bool* more) const {
  Xapian::Enquire enquire(db_);
  enquire.set_query(QueryOf(words));
  enquire.set_weighting_scheme(Bm25Weight());
  enquire.set_docid_order(Xapian::Enquire::ASCENDING);
  const auto wanted = static_cast<Xapian::doccount>(k);
  const Xapian::MSet matches = enquire.get_mset(0, wanted, wanted + 1);
  if (more != nullptr) *more = matches.get_matches_lower_bound() > wanted;
  std::vector<Ranked> ranked;
  for (auto it = matches.begin(); it != matches.end(); ++it) ranked.push_back({it.get_document().get_data(), it.get_weight()});
  return ranked;
}

bool Reference::Matches(const std::vector<std::string>& words, const std::string& domain) const {
  Xapian::Enquire enquire(db_);
  enquire.set_query(Xapian::Query(Xapian::Query::OP_FILTER, QueryOf(words), Xapian::Query(kDomain + domain)));
  enquire.set_weighting_scheme(Xapian::BoolWeight());
  return !enquire.get_mset(0, 1).empty();
}

const std::string& Reference::Canonical(const std::string& key) const {
  const auto it = canonical_.find(key);
  return it == canonical_.end() ? key : it->second;
}

std::vector<Ranked> Reference::CanonicalList(const std::vector<Ranked>& hits, size_t& unknown) const {
  std::vector<Ranked> out;
  std::set<std::string> seen;
  for (const Ranked& hit : hits) {
    unknown += !Knows(hit.key);
    const std::string& key = Canonical(hit.key);
    if (seen.insert(key).second) out.push_back({key, hit.score});
  }
  return out;
}

double Reference::AverageLength() const { return db_.get_avlength(); }

}  // namespace tessik_ranking
