// The Xapian plugin: searches a Xapian database built by tessik-index-xapian
// (xapian/Scheme.h). The data is anything Xapian opens as a database: a
// folder, a stub file naming local or remote databases ("remote HOST:PORT"
// for a xapian-tcpsrv server), or several of these separated by ";", which
// are then searched as one, with statistics over all of them.
#include <xapian.h>

#include <sstream>

#include "kit/Engine.h"
#include "kit/Text.h"
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
      Xapian::Enquire enquire(db);
      enquire.set_query(Build(plan));
      enquire.set_docid_order(Xapian::Enquire::ASCENDING);
      // One more than asked for tells whether the limit cut anything.
      const Xapian::MSet mset = enquire.get_mset(0, static_cast<Xapian::doccount>(limit), limit + 1);
      const double best = mset.get_max_attained();
      Found found;
      found.more = mset.get_matches_lower_bound() > mset.size();
      std::vector<Hit>& hits = found.hits;
      hits.reserve(mset.size());
      for (Xapian::MSetIterator it = mset.begin(); it != mset.end(); ++it) {
        const std::string stored = it.get_document().get_data();
        std::string fields[4];
        size_t start = 0;
        for (int f = 0; f < 4; ++f) {
          const size_t tab = f < 3 ? stored.find('\t', start) : std::string::npos;
          fields[f] = stored.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
          if (tab == std::string::npos) break;
          start = tab + 1;
        }
        Hit hit;
        hit.score = best > 0 ? it.get_weight() / best : 1.0;
        hit.id = fields[0];
        hit.category = fields[1];
        hit.title = fields[2];
        hit.snippet = Snippet(fields[3], 160);
        hits.push_back(std::move(hit));
      }
      return found;
    } catch (const Xapian::Error& e) {
      throw EngineError("Xapian: " + e.get_description());
    }
  }

 private:
  static Xapian::Query Words(unsigned fields, const std::string& word, const Xapian::Stem* stem) {
    std::vector<Xapian::Query> parts;
    auto add = [&](const char* prefix) {
      parts.emplace_back(prefix + word);
      if (stem != nullptr) parts.emplace_back("Z" + std::string(prefix) + (*stem)(word));
    };
    if (fields == kAnyField) {
      add("");
    } else {
      if (fields & kTitle) add(scheme::kTitle);
      if (fields & kBody) add(scheme::kText);
    }
    return Xapian::Query(Xapian::Query::OP_SYNONYM, parts.begin(), parts.end());
  }

  static Xapian::Query TermQuery(const Term& term, const Plan& plan) {
    const Xapian::Stem stemmer(scheme::kLanguage);
    const Xapian::Stem* stem = plan.stemming ? &stemmer : nullptr;
    std::vector<Xapian::Query> parts;
    if (plan.caseSensitive) {
      if (term.fields & kTitle) parts.emplace_back(scheme::kExactTitle + term.word);
      if (term.fields & kBody) parts.emplace_back(scheme::kExactText + term.word);
    } else {
      parts.push_back(Words(term.fields, Fold(term.word), stem));
    }
    for (const std::string& synonym : term.synonyms) parts.push_back(Words(term.fields, synonym, stem));
    return Xapian::Query(Xapian::Query::OP_SYNONYM, parts.begin(), parts.end());
  }

  static Xapian::Query Build(const Plan& plan) {
    std::vector<Xapian::Query> positive, negative;
    for (const Term& term : plan.required) positive.push_back(TermQuery(term, plan));
    for (const Term& term : plan.excluded) negative.push_back(TermQuery(term, plan));
    Xapian::Query query = Xapian::Query::MatchAll;
    if (!positive.empty())
      query = Xapian::Query(plan.any ? Xapian::Query::OP_OR : Xapian::Query::OP_AND, positive.begin(), positive.end());
    if (!negative.empty())
      query = Xapian::Query(Xapian::Query::OP_AND_NOT, query,
                            Xapian::Query(Xapian::Query::OP_OR, negative.begin(), negative.end()));
    if (!plan.categories.empty()) {
      std::vector<Xapian::Query> categories;
      for (const std::string& c : plan.categories) categories.emplace_back(scheme::kCategory + Fold(c));
      query = Xapian::Query(Xapian::Query::OP_FILTER, query,
                            Xapian::Query(Xapian::Query::OP_OR, categories.begin(), categories.end()));
    }
    return query;
  }
};

}  // namespace

std::unique_ptr<Engine> MakeEngine() { return std::make_unique<XapianEngine>(); }

}  // namespace tessik_plugins
