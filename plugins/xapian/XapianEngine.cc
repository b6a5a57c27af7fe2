// The Xapian plugin: searches a Xapian database built by tessik-index-xapian
// (xapian/Scheme.h) or by omindex (xapian/Omindex.h), never writing to it.
// The query's words are folded as the database's own words were: by the
// kit's normaliser in tessik's, to lower case in omindex's.
// The data is anything Xapian opens as a database: a folder, a stub file
// naming local or remote databases ("remote HOST:PORT" for a xapian-tcpsrv
// server), or several of these separated by ";", which are then searched as
// one, with statistics over all of them.
#include <xapian.h>

#include <algorithm>
#include <sstream>

#include "kit/Engine.h"
#include "kit/Names.h"
#include "kit/Text.h"
#include "xapian/Omindex.h"
#include "xapian/Scheme.h"

namespace tessik_plugins {
namespace {

namespace scheme = xapian_scheme;

Xapian::Database Open(const std::string& data) {
  Xapian::Database db;
  std::istringstream parts(data);
  std::string part;
  while (std::getline(parts, part, ';'))
    if (!part.empty()) db.add_database(Xapian::Database(part));
  return db;
}

// Whose conventions a database follows. Told by the data of its first
// document, which costs one document read a search: tessik's indexer
// writes four tab-separated fields, omindex begins with "url=". Any other
// database is searched with omindex's prefixes, which are the ones Xapian's
// own documentation suggests, and shown as text.
enum class Layout { kTessik, kOmindex, kOther };

Layout Detect(const Xapian::Database& db) {
  const Xapian::PostingIterator first = db.postlist_begin("");
  if (first == db.postlist_end("")) return Layout::kTessik;
  const std::string data = db.get_document(*first).get_data();
  if (omindex::IsOmindexData(data)) return Layout::kOmindex;
  return std::count(data.begin(), data.end(), '\t') >= 3 ? Layout::kTessik : Layout::kOther;
}

// Where the words of each field are: the prefixes a term of any field, of
// the title only and of the text only is looked up under.
struct Prefixes {
  std::vector<std::string> any, title, text;
};

const Prefixes& PrefixesOf(Layout layout) {
  static const Prefixes tessik{{""}, {scheme::kTitle}, {scheme::kText}};
  // omindex leaves the title out of the unprefixed words.
  static const Prefixes others{{omindex::kText, omindex::kTitle}, {omindex::kTitle}, {omindex::kText}};
  return layout == Layout::kTessik ? tessik : others;
}

bool HasWord(const std::string& text, const std::string& word) { return HoldsWordAsWritten(text, word); }

class Searcher {
 public:
  Searcher(const Xapian::Database& db, const Plan& plan, const std::string& data)
      : db_(db),
        plan_(plan),
        layout_(Detect(db)),
        prefixes_(PrefixesOf(layout_)),
        stemmer_(layout_ == Layout::kTessik ? scheme::kLanguage : omindex::kLanguage) {
    // One of another version holds its words in another form: searched,
    // it would miss what it holds.
    if (layout_ == Layout::kTessik && db.get_doccount() > 0 &&
        db.get_metadata(scheme::kFormatKey) != scheme::kFormatVersion)
      throw EngineError("the Xapian database at " + data +
                        " was made by another version of tessik-index-xapian; build it again with it");
  }

  Found Run(size_t limit, const std::atomic<bool>& abort) {
    Xapian::Enquire enquire(db_);
    enquire.set_query(Build());
    enquire.set_docid_order(Xapian::Enquire::ASCENDING);
    Found found;
    // Only tessik's databases keep words as written; elsewhere a
    // case-sensitive query matches without case and keeps the hits whose
    // stored title and text hold each word as written.
    if (!plan_.caseSensitive || layout_ == Layout::kTessik) {
      // One more than asked for tells whether the limit cut anything.
      const Xapian::MSet mset = enquire.get_mset(0, static_cast<Xapian::doccount>(limit), limit + 1);
      const double best = mset.get_max_attained();
      found.more = mset.get_matches_lower_bound() > mset.size();
      for (Xapian::MSetIterator it = mset.begin(); it != mset.end(); ++it) {
        Hit hit = MakeHit(it.get_document());
        hit.score = best > 0 ? it.get_weight() / best : 1.0;
        found.hits.push_back(std::move(hit));
      }
      return found;
    }
    const Xapian::doccount page = static_cast<Xapian::doccount>(std::max<size_t>(limit + 1, 100));
    double best = 0;
    for (Xapian::doccount first = 0; !abort; first += page) {
      const Xapian::MSet mset = enquire.get_mset(first, page);
      for (Xapian::MSetIterator it = mset.begin(); it != mset.end(); ++it) {
        std::string text;
        Hit hit = MakeHit(it.get_document(), &text);
        if (!Exact(hit.title, text)) continue;
        if (found.hits.size() == limit) {
          found.more = true;
          return found;
        }
        if (found.hits.empty()) best = it.get_weight();
        hit.score = best > 0 ? it.get_weight() / best : 1.0;
        found.hits.push_back(std::move(hit));
      }
      if (mset.size() < page) break;
    }
    return found;
  }

 private:
  // The hit of `document`; `text`, when given, receives the whole text it
  // stores, of which the snippet shows the start.
  Hit MakeHit(const Xapian::Document& document, std::string* text = nullptr) const {
    const std::string stored = document.get_data();
    Hit hit;
    if (layout_ == Layout::kTessik) {
      std::string fields[4];
      size_t start = 0;
      for (int f = 0; f < 4; ++f) {
        const size_t tab = f < 3 ? stored.find('\t', start) : std::string::npos;
        fields[f] = stored.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (tab == std::string::npos) break;
        start = tab + 1;
      }
      hit.id = fields[0];
      hit.category = fields[1];
      hit.title = fields[2];
      hit.snippet = Snippet(fields[3], 160);
      return hit;
    }
    if (layout_ == Layout::kOther) {
      const size_t newline = stored.find('\n');
      hit.id = std::to_string(document.get_docid());
      hit.title = Snippet(stored.substr(0, newline), 160);
      const std::string rest = newline == std::string::npos ? std::string() : stored.substr(newline + 1);
      hit.snippet = Snippet(rest, 160);
      if (text != nullptr) *text = rest;
      return hit;
    }
    const omindex::Stored d = omindex::Parse(stored);
    hit.id = d.url.empty() ? std::to_string(document.get_docid()) : d.url;
    hit.title = d.caption.empty() ? omindex::FileName(d.url) : d.caption;
    hit.snippet = Snippet(d.sample, 160);
    if (text != nullptr) *text = d.sample;
    // The category is the url's first folder: the "P" term omindex wrote
    // for it, so a hit's category given back as a query's selects its
    // folder, and every document below it. A document at the root has none.
    hit.category = omindex::FirstFolder(d.url);
    auto add = [&](std::string_view name, std::string value) {
      if (!value.empty()) hit.properties.emplace_back(std::string(name), std::move(value));
    };
    add(kDocumentProperties[1], d.url);
    add(kDocumentProperties[2], omindex::IsoTime(d.modtime));
    add(kDocumentProperties[3], d.size);
    add(kDocumentProperties[4], d.type);
    add("author", d.author);
    return hit;
  }

  // Whether every positive word (for "Or", one) is in the title or the
  // stored text as written, as its fields allow: the text omindex stores is
  // the start of a document, so a word seen only further on does not count.
  bool Exact(const std::string& title, const std::string& text) const {
    size_t found = 0;
    for (const Term& term : plan_.required)
      found +=
          ((term.fields & kTitle) && HasWord(title, term.word)) || ((term.fields & kBody) && HasWord(text, term.word));
    return plan_.any ? found > 0 : found == plan_.required.size();
  }

  Xapian::Query Words(unsigned fields, const std::string& word, bool stem) const {
    std::vector<Xapian::Query> parts;
    const std::vector<std::string>& prefixes = fields == kAnyField ? prefixes_.any
                                               : (fields & kTitle) ? prefixes_.title
                                                                   : prefixes_.text;
    for (const std::string& prefix : prefixes) {
      parts.emplace_back(prefix + word);
      if (stem) parts.emplace_back("Z" + prefix + stemmer_(word));
    }
    return Xapian::Query(Xapian::Query::OP_SYNONYM, parts.begin(), parts.end());
  }

  // A word of the query as the database spells its terms: in tessik's the
  // normaliser's tokens, as its indexer wrote them (mostly one; "½" is two,
  // both needed); elsewhere lower case with its accents kept, as omindex's
  // term generator folds (Xapian::Unicode::tolower).
  Xapian::Query WordQuery(unsigned fields, const std::string& word) const {
    if (layout_ != Layout::kTessik) return Words(fields, Xapian::Unicode::tolower(word), plan_.stemming);
    std::vector<Xapian::Query> tokens;
    for (const std::string& token : Tokens(word)) tokens.push_back(Words(fields, token, plan_.stemming));
    return Xapian::Query(Xapian::Query::OP_AND, tokens.begin(), tokens.end());
  }

  Xapian::Query TermQuery(const Term& term) const {
    std::vector<Xapian::Query> parts;
    if (plan_.caseSensitive && layout_ == Layout::kTessik) {
      if (term.fields & kTitle) parts.emplace_back(scheme::kExactTitle + term.word);
      if (term.fields & kBody) parts.emplace_back(scheme::kExactText + term.word);
    } else {
      parts.push_back(WordQuery(term.fields, term.word));
    }
    for (const std::string& synonym : term.synonyms) parts.push_back(WordQuery(term.fields, synonym));
    return Xapian::Query(Xapian::Query::OP_SYNONYM, parts.begin(), parts.end());
  }

  // The boolean terms the query's categories select by. tessik's own
  // are folded when indexed. omindex's MIME types are lower case; its
  // folders are as the files were named, so every folder term is looked
  // at to match a category without case.
  std::vector<Xapian::Query> Categories() const {
    std::vector<Xapian::Query> terms;
    std::vector<std::string> folders;
    for (const std::string& c : plan_.categories) {
      if (layout_ == Layout::kTessik)
        terms.emplace_back(scheme::kCategory + Fold(c));
      else if (omindex::IsMimeType(c))
        terms.emplace_back(omindex::kType + Fold(c));
      else
        folders.push_back(Fold(omindex::PathTerm(c)));
    }
    if (!folders.empty()) {
      for (Xapian::TermIterator it = db_.allterms_begin(omindex::kPath); it != db_.allterms_end(omindex::kPath); ++it)
        if (std::find(folders.begin(), folders.end(), Fold(*it)) != folders.end()) terms.emplace_back(*it);
    }
    return terms;
  }

  Xapian::Query Build() const {
    std::vector<Xapian::Query> positive, negative;
    for (const Term& term : plan_.required) positive.push_back(TermQuery(term));
    for (const Term& term : plan_.excluded) negative.push_back(TermQuery(term));
    Xapian::Query query = Xapian::Query::MatchAll;
    if (!positive.empty())
      query = Xapian::Query(plan_.any ? Xapian::Query::OP_OR : Xapian::Query::OP_AND, positive.begin(), positive.end());
    if (!negative.empty())
      query = Xapian::Query(Xapian::Query::OP_AND_NOT, query,
                            Xapian::Query(Xapian::Query::OP_OR, negative.begin(), negative.end()));
    if (!plan_.categories.empty()) {
      const std::vector<Xapian::Query> categories = Categories();
      // No document is in a category the database has no term for.
      if (categories.empty()) return Xapian::Query::MatchNothing;
      query = Xapian::Query(Xapian::Query::OP_FILTER, query,
                            Xapian::Query(Xapian::Query::OP_OR, categories.begin(), categories.end()));
    }
    return query;
  }

  const Xapian::Database& db_;
  const Plan& plan_;
  const Layout layout_;
  const Prefixes& prefixes_;
  const Xapian::Stem stemmer_;
};

class XapianEngine : public Engine {
 public:
  Found Search(const Plan& plan, const Domain& domain, size_t limit, const std::atomic<bool>& abort) override {
    const std::string data = domain.Property("data", "");
    if (data.empty()) throw EngineError("no Xapian database configured");
    try {
      // A database per search: Xapian objects are not shared between
      // threads, and opening is cheap next to searching.
      Xapian::Database db = Open(data);
      // A stub file naming nothing opens as a database of no parts, which
      // Xapian cannot search.
      if (db.size() == 0) throw EngineError("the Xapian database at " + data + " is empty or missing");
      if (abort) return {};
      return Searcher(db, plan, data).Run(limit, abort);
    } catch (const Xapian::Error& e) {
      throw EngineError("Xapian: " + e.get_description());
    }
  }
};

}  // namespace

std::unique_ptr<Engine> MakeEngine() { return std::make_unique<XapianEngine>(); }

}  // namespace tessik_plugins
