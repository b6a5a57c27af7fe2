// The Xapian plugin: searches a Xapian database built by tessik-index-xapian
// (xapian/Scheme.h) or by omindex (xapian/Omindex.h), never writing to it.
// The query's words are folded as the database's own words were: by the
// kit's normaliser in tessik's, to lower case in omindex's.
// The data is anything Xapian opens as a database: a folder, a stub file
// naming local or remote databases ("remote HOST:PORT" for a xapian-tcpsrv
// server), or several of these separated by ";", which are then searched as
// one, with statistics over all of them.
//
// Asked for statistics (kit/Statistics.h), it counts by the index: a term's
// occurrences in a hit are the wdf of the forms its query matched (a stem
// "Z..." counts the words it was made of, so a word beside its own stem is
// not counted twice), its documents those the term's query matches. The
// length of a document of tessik-index-xapian's is the one it stored (value
// slot, xapian/Scheme.h), the total over the database its metadata (or,
// for a database of several shards, the sum of the stored lengths); any
// other database's documents are measured by the wdf of their word and
// title terms (omindex's title terms weigh 5 a word), the total once per
// process and database revision.
#include <xapian.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>

#include "kit/Engine.h"
#include "kit/Names.h"
#include "kit/Statistics.h"
#include "kit/Text.h"
#include "xapian/Omindex.h"
#include "xapian/Scheme.h"

namespace tessik_plugins {
namespace {

namespace scheme = xapian_scheme;

uint64_t Number(const std::string& text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// A database and, when every part is a single database that says so, the
// total of its documents' lengths (tessik-index-xapian's metadata; a
// database of several, such as a stub naming shards, shows only its first
// one's metadata).
enum class Layout;

struct Opened {
  Xapian::Database db;
  bool totalKnown = false;
  uint64_t total = 0;
  Layout layout{};
};

Opened Open(const std::string& data) {
  Opened opened;
  std::istringstream parts(data);
  std::string part;
  bool known = true;
  while (std::getline(parts, part, ';')) {
    if (part.empty()) continue;
    Xapian::Database one(part);
    const std::string total = one.size() == 1 ? one.get_metadata(scheme::kLengthTotalKey) : std::string();
    if (total.empty()) known = false;
    opened.total = SaturatingAdd(opened.total, Number(total));
    opened.db.add_database(one);
  }
  opened.totalKnown = known && opened.db.size() > 0;
  return opened;
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

// A database of tessik-index-xapian's is of the format this plugin reads.
void CheckFormat(const Xapian::Database& db, Layout layout, const std::string& data) {
  if (layout != Layout::kTessik || db.get_doccount() == 0) return;
  if (db.get_metadata(scheme::kFormatKey) != scheme::kFormat)
    throw EngineError("the Xapian database at " + data + " was made by another version of tessik-index-xapian (format " +
                      scheme::kFormat + " is needed); rebuild it with tessik-index-xapian");
}

// Whether a term holds a word of the document's title or text: for
// tessik's databases the unprefixed terms (the title and the text once
// each), for others also the title's "S" terms.
bool IsContentTerm(const std::string& term, Layout layout) {
  if (scheme::IsWordTerm(term)) return true;
  return layout != Layout::kTessik && term.size() > 1 && term[0] == omindex::kTitle[0] &&
         scheme::IsWordTerm(term.substr(1));
}

// The occurrences of a term that `wdf` stands for. omindex indexes each
// word of a title with wdf 5 (xapian-omega 1.4), so its title terms ("S",
// their stems "ZS") count a fifth.
uint64_t Occurrences(const std::string& term, uint64_t wdf, Layout layout) {
  if (layout != Layout::kOmindex) return wdf;
  const bool title = term.rfind(omindex::kTitle, 0) == 0 || term.rfind(std::string("Z") + omindex::kTitle, 0) == 0;
  return title ? (wdf + omindex::kTitleWdf - 1) / omindex::kTitleWdf : wdf;
}

// The sum of the content terms' occurrences over the database: every term
// looked at, those of other prefixes skipped a prefix letter at a time.
uint64_t ContentTotal(const Xapian::Database& db, Layout layout) {
  uint64_t total = 0;
  Xapian::TermIterator it = db.allterms_begin();
  while (it != db.allterms_end()) {
    const std::string term = *it;
    if (IsContentTerm(term, layout)) {
      total = SaturatingAdd(total, Occurrences(term, db.get_collection_freq(term), layout));
      ++it;
    } else if (term[0] != omindex::kTitle[0] || layout == Layout::kTessik) {
      it.skip_to(std::string(1, static_cast<char>(term[0] + 1)));
    } else {
      ++it;
    }
  }
  return total;
}

// Totals that cost a pass over the database, kept per database revision
// for the life of the process.
std::mutex g_totals_mu;
std::map<std::string, uint64_t> g_totals;  // guarded by g_totals_mu

uint64_t CachedTotal(const std::string& data, const Xapian::Database& db, const std::function<uint64_t()>& count) {
  std::string key;
  try {
    key = data + '\n' + db.get_uuid() + '\n' + std::to_string(db.get_doccount()) + '\n' +
          std::to_string(db.get_lastdocid()) + '\n' + std::to_string(db.get_total_length());
  } catch (const Xapian::Error&) {
    return count();  // no revision to keep it by
  }
  {
    std::lock_guard<std::mutex> lock(g_totals_mu);
    auto it = g_totals.find(key);
    if (it != g_totals.end()) return it->second;
  }
  const uint64_t total = count();
  std::lock_guard<std::mutex> lock(g_totals_mu);
  if (g_totals.size() > 64) g_totals.clear();
  g_totals[key] = total;
  return total;
}

const Prefixes& PrefixesOf(Layout layout) {
  static const Prefixes tessik{{""}, {scheme::kTitle}, {scheme::kText}};
  // omindex leaves the title out of the unprefixed words.
  static const Prefixes others{{omindex::kText, omindex::kTitle}, {omindex::kTitle}, {omindex::kText}};
  return layout == Layout::kTessik ? tessik : others;
}

bool HasWord(const std::string& text, const std::string& word) { return HoldsWordAsWritten(text, word); }

class Searcher {
 public:
  Searcher(const Opened& opened, Layout layout, const Plan& plan, bool statistics)
      : opened_(opened),
        db_(opened.db),
        plan_(plan),
        layout_(layout),
        prefixes_(PrefixesOf(layout_)),
        stemmer_(layout_ == Layout::kTessik ? scheme::kLanguage : omindex::kLanguage),
        statistics_(statistics) {}

  // The statistics of the database for the plan's required terms.
  Statistics Totals(const std::string& data) const {
    Statistics statistics;
    statistics.known = true;
    statistics.documents = db_.get_doccount();
    if (layout_ == Layout::kTessik && opened_.totalKnown) {
      statistics.length = opened_.total;
    } else if (layout_ == Layout::kTessik) {
      statistics.length = CachedTotal(data, db_, [&] {
        uint64_t total = 0;
        for (Xapian::ValueIterator v = db_.valuestream_begin(scheme::kLengthSlot);
             v != db_.valuestream_end(scheme::kLengthSlot); ++v)
          total = SaturatingAdd(total, Number(*v));
        return total;
      });
    } else {
      statistics.length = CachedTotal(data, db_, [&] { return ContentTotal(db_, layout_); });
    }
    for (const Term& term : plan_.required) statistics.df.push_back(Documents(term));
    return statistics;
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
      std::vector<Xapian::docid> ids;
      for (Xapian::MSetIterator it = mset.begin(); it != mset.end(); ++it) {
        Hit hit = MakeHit(it.get_document());
        hit.score = best > 0 ? it.get_weight() / best : 1.0;
        ids.push_back(*it);
        found.hits.push_back(std::move(hit));
      }
      if (statistics_ && !abort) CountHits(ids, found.hits);
      return found;
    }
    const Xapian::doccount page = static_cast<Xapian::doccount>(std::max<size_t>(limit + 1, 100));
    double best = 0;
    std::vector<Xapian::docid> ids;
    // Ends with the hits counted, however it ends.
    auto done = [&]() -> Found& {
      if (statistics_ && !abort) CountHits(ids, found.hits);
      return found;
    };
    for (Xapian::doccount first = 0; !abort; first += page) {
      const Xapian::MSet mset = enquire.get_mset(first, page);
      for (Xapian::MSetIterator it = mset.begin(); it != mset.end(); ++it) {
        std::string text;
        Hit hit = MakeHit(it.get_document(), &text);
        if (!Exact(hit.title, text)) continue;
        if (found.hits.size() == limit) {
          found.more = true;
          return done();
        }
        if (found.hits.empty()) best = it.get_weight();
        hit.score = best > 0 ? it.get_weight() / best : 1.0;
        ids.push_back(*it);
        found.hits.push_back(std::move(hit));
      }
      if (mset.size() < page) break;
    }
    return done();
  }

 private:
  // The terms a term's query matches by, in groups: a stem ("Z...", when
  // the query stems) with the words it was made of, or a word alone. A
  // stem's wdf counts every word of its group (Xapian stems every word but
  // those starting with a digit, which then have no stem term), so a
  // group's occurrences are the larger of its stem's wdf and its words'.
  struct Group {
    std::string stem;
    std::vector<std::string> words;
  };

  std::vector<Group> Forms(const Term& term) const {
    std::vector<Group> groups;
    auto add = [&](const std::string& stem, const std::string& word) {
      for (Group& g : groups) {
        if (g.stem != stem || (stem.empty() && g.words.front() != word)) continue;
        if (std::find(g.words.begin(), g.words.end(), word) == g.words.end()) g.words.push_back(word);
        return;
      }
      groups.push_back({stem, {word}});
    };
    if (plan_.caseSensitive && layout_ == Layout::kTessik) {
      if (term.fields & kTitle) add("", scheme::kExactTitle + term.word);
      if (term.fields & kBody) add("", scheme::kExactText + term.word);
      return groups;
    }
    // The words as WordQuery spells them: the normaliser's tokens in
    // tessik's databases (a word of several tokens counts each), lower case
    // elsewhere.
    std::vector<std::string> written = {term.word};
    written.insert(written.end(), term.synonyms.begin(), term.synonyms.end());
    std::vector<std::string> words;
    for (const std::string& w : written) {
      if (layout_ != Layout::kTessik) {
        words.push_back(Xapian::Unicode::tolower(w));
      } else {
        for (std::string& token : Tokens(w)) words.push_back(std::move(token));
      }
    }
    for (const std::string& word : words)
      for (const std::string& prefix : PrefixesFor(term.fields))
        add(plan_.stemming ? "Z" + prefix + stemmer_(word) : std::string(), prefix + word);
    return groups;
  }

  // The documents holding a term in any of its forms: a count of its
  // query's matches, unless one term's frequency says it.
  Xapian::doccount Documents(const Term& term) const {
    const std::vector<Group> groups = Forms(term);
    if (groups.size() == 1 && groups[0].words.size() == 1) {
      const Xapian::doccount words = db_.get_termfreq(groups[0].words[0]);
      return groups[0].stem.empty() ? words : std::max(words, db_.get_termfreq(groups[0].stem));
    }
    Xapian::Enquire enquire(db_);
    enquire.set_query(TermQuery(term));
    enquire.set_weighting_scheme(Xapian::BoolWeight());
    return enquire.get_mset(0, 0, db_.get_doccount()).get_matches_lower_bound();
  }

  // The hits' lengths, their terms' occurrences and their digests; ids[i]
  // is the document of hits[i]. tessik's databases are read by posting
  // list and value stream, in document order, so no term list is read:
  // the lengths are stored. Any other's are measured from the term lists.
  void CountHits(const std::vector<Xapian::docid>& ids, std::vector<Hit>& hits) const {
    std::vector<std::vector<Group>> forms;
    std::vector<std::string> wanted;
    for (const Term& term : plan_.required) {
      forms.push_back(Forms(term));
      for (const Group& g : forms.back()) {
        if (!g.stem.empty()) wanted.push_back(g.stem);
        wanted.insert(wanted.end(), g.words.begin(), g.words.end());
      }
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    auto index = [&](const std::string& term) {
      return static_cast<size_t>(std::lower_bound(wanted.begin(), wanted.end(), term) - wanted.begin());
    };
    std::vector<size_t> order(ids.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return ids[a] < ids[b]; });
    // Occurrences by hit, then by wanted term.
    std::vector<std::vector<uint64_t>> occurrences(ids.size(), std::vector<uint64_t>(wanted.size(), 0));
    std::vector<uint64_t> lengths(ids.size(), 0);
    if (layout_ == Layout::kTessik) {
      for (size_t w = 0; w < wanted.size(); ++w) {
        Xapian::PostingIterator p = db_.postlist_begin(wanted[w]);
        for (const size_t i : order) {
          if (p == db_.postlist_end(wanted[w])) break;
          p.skip_to(ids[i]);
          if (p != db_.postlist_end(wanted[w]) && *p == ids[i]) occurrences[i][w] = p.get_wdf();
        }
      }
      for (const unsigned slot : {scheme::kLengthSlot, scheme::kDigestSlot}) {
        Xapian::ValueIterator v = db_.valuestream_begin(slot);
        for (const size_t i : order) {
          if (v == db_.valuestream_end(slot)) break;
          v.skip_to(ids[i]);
          if (v == db_.valuestream_end(slot) || v.get_docid() != ids[i]) continue;
          if (slot == scheme::kLengthSlot)
            lengths[i] = Number(*v);
          else
            hits[i].digest = *v;
        }
      }
    } else {
      for (size_t i = 0; i < ids.size(); ++i) {
        for (Xapian::TermIterator t = db_.termlist_begin(ids[i]); t != db_.termlist_end(ids[i]); ++t) {
          const std::string term = *t;
          if (IsContentTerm(term, layout_))
            lengths[i] = SaturatingAdd(lengths[i], Occurrences(term, t.get_wdf(), layout_));
          const size_t w = index(term);
          if (w < wanted.size() && wanted[w] == term) occurrences[i][w] = Occurrences(term, t.get_wdf(), layout_);
        }
      }
    }
    for (size_t i = 0; i < hits.size() && i < ids.size(); ++i) {
      Hit& hit = hits[i];
      hit.counted = true;
      hit.length = lengths[i];
      for (const std::vector<Group>& groups : forms) {
        uint64_t count = 0;
        for (const Group& g : groups) {
          uint64_t words = 0;
          for (const std::string& w : g.words) words = SaturatingAdd(words, occurrences[i][index(w)]);
          count = SaturatingAdd(count, g.stem.empty() ? words : std::max(words, occurrences[i][index(g.stem)]));
        }
        hit.tf.push_back(count);
      }
    }
  }

  const std::vector<std::string>& PrefixesFor(unsigned fields) const {
    return fields == kAnyField ? prefixes_.any : (fields & kTitle) ? prefixes_.title : prefixes_.text;
  }

  // The hit of `document`; `text`, when given, receives the whole text it
  // stores, of which the snippet shows the start.
  Hit MakeHit(const Xapian::Document& document, std::string* text = nullptr) const {
    const std::string stored = document.get_data();
    Hit hit;
    if (layout_ == Layout::kTessik) {
      scheme::Stored fields = scheme::Parse(stored);
      hit.id = std::move(fields.id);
      hit.category = std::move(fields.category);
      hit.title = std::move(fields.title);
      hit.snippet = Snippet(fields.text, 160);
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
    for (const std::string& prefix : PrefixesFor(fields)) {
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
    // Searches of several sessions build queries at once, and Xapian counts
    // the owners of a query without atomics: its shared MatchAll and
    // MatchNothing objects are never copied, each search makes its own.
    Xapian::Query query{std::string()};  // every document, as MatchAll
    if (!positive.empty())
      query = Xapian::Query(plan_.any ? Xapian::Query::OP_OR : Xapian::Query::OP_AND, positive.begin(), positive.end());
    if (!negative.empty())
      query = Xapian::Query(Xapian::Query::OP_AND_NOT, query,
                            Xapian::Query(Xapian::Query::OP_OR, negative.begin(), negative.end()));
    if (!plan_.categories.empty()) {
      const std::vector<Xapian::Query> categories = Categories();
      // No document is in a category the database has no term for.
      if (categories.empty()) return Xapian::Query();  // no document, as MatchNothing
      query = Xapian::Query(Xapian::Query::OP_FILTER, query,
                            Xapian::Query(Xapian::Query::OP_OR, categories.begin(), categories.end()));
    }
    return query;
  }

  const Opened& opened_;
  const Xapian::Database& db_;
  const Plan& plan_;
  const Layout layout_;
  const Prefixes& prefixes_;
  const Xapian::Stem stemmer_;
  const bool statistics_;
};

class XapianEngine : public Engine {
 public:
  Found Search(const Plan& plan, const Domain& domain, size_t limit, const std::atomic<bool>& abort) override {
    const std::string data = domain.Property("data", "");
    if (data.empty()) throw EngineError("no Xapian database configured");
    try {
      // A database per search: Xapian objects are not shared between
      // threads, and opening is cheap next to searching.
      const Opened opened = OpenChecked(data);
      if (abort) return {};
      const bool statistics = WantsStatistics(domain);
      Searcher searcher(opened, opened.layout, plan, statistics);
      Found found = searcher.Run(limit, abort);
      if (statistics && !abort) found.statistics = searcher.Totals(data);
      return found;
    } catch (const Xapian::Error& e) {
      throw EngineError("Xapian: " + e.get_description());
    }
  }

  Statistics CollectionStatistics(const Plan& plan, const Domain& domain, const std::atomic<bool>&) override {
    const std::string data = domain.Property("data", "");
    if (data.empty()) throw EngineError("no Xapian database configured");
    try {
      const Opened opened = OpenChecked(data);
      return Searcher(opened, opened.layout, plan, true).Totals(data);
    } catch (const Xapian::Error& e) {
      throw EngineError("Xapian: " + e.get_description());
    }
  }

 private:
  static Opened OpenChecked(const std::string& data) {
    Opened opened = Open(data);
    // A stub file naming nothing opens as a database of no parts, which
    // Xapian cannot search.
    if (opened.db.size() == 0) throw EngineError("the Xapian database at " + data + " is empty or missing");
    opened.layout = Detect(opened.db);
    CheckFormat(opened.db, opened.layout, data);
    return opened;
  }
};

}  // namespace

std::unique_ptr<Engine> MakeEngine() { return std::make_unique<XapianEngine>(); }

}  // namespace tessik_plugins
