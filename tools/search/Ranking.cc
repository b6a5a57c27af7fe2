#include "search/Ranking.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

#include "kit/Names.h"

namespace tessik_cli {
namespace {

namespace names = tessik_plugins;

// BM25 as one index over every source would score: the usual constants.
constexpr double kK1 = 1.2, kB = 0.75;
// Reciprocal rank fusion's constant.
constexpr double kFusion = 60;
// Beyond these a statistic is not a count of anything real.
constexpr double kMostDocuments = 1e12, kLongest = 1e12;

const std::string* Find(const Row& row, std::string_view name) {
  for (const auto& [n, v] : row.properties) {
    if (n == name) return &v;
  }
  return nullptr;
}

// A decimal number; false for anything else, NaN and infinities included.
bool Number(std::string_view text, double& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.empty()) return false;
  // Most are small whole numbers (ranks, lengths, counts): read at once.
  if (text.size() <= 15) {
    uint64_t whole = 0;
    size_t at = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') whole = whole * 10 + (text[at++] - '0');
    if (at == text.size()) {
      value = static_cast<double>(whole);
      return true;
    }
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// "word=count word=count", each pair handed to `each(word, count)`: false
// when a pair is malformed, a count is negative or beyond `most`, or
// `each` says no.
template <class Each>
bool EachCount(std::string_view text, double most, Each&& each) {
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    const size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view pair = text.substr(at, end - at);
    const size_t eq = pair.rfind('=');
    double count = 0;
    if (eq == 0 || eq == std::string_view::npos || !Number(pair.substr(eq + 1), count) || count < 0 ||
        count > most || !each(pair.substr(0, eq), count))
      return false;
    at = end;
  }
  return true;
}

// NaN ranks below everything.
double Comparable(double score) { return std::isnan(score) ? -std::numeric_limits<double>::infinity() : score; }

// Spreads a key's hash over the table's low bits.
uint64_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  return x ^ (x >> 33);
}

bool Hidden(const std::string& name) {
  return name == names::kSourceRankProperty || name == names::kPluginProperty ||
         name.rfind(names::kStatisticsPrefix, 0) == 0;
}

}  // namespace

struct Ranker::Source {
  size_t seen = 0;  // hits so far
  double best = -std::numeric_limits<double>::infinity(), worst = std::numeric_limits<double>::infinity();
  bool statistics = false;  // it reported statistics that make sense, before its hits
  bool fused = false;       // its hits are fused by rank (under stats)
  double documents = 0, averageLength = 0;
  struct Term {
    std::string word;
    double count;
    uint32_t index;  // in the ranker's df_
  };
  std::vector<Term> df;
};

struct Ranker::Copy {
  Row row;
  Source* source = nullptr;
  size_t rank = 0;  // in its source, from 1
  uint32_t tfBegin = 0, tfCount = 0;  // its counts in termCounts_
  double length = 0;
  double score = 0;  // under the method, before fusion
};

// A document's copies: almost always one, so that one takes no allocation.
class CopyList {
 public:
  void push_back(size_t c) {
    if (size_++ == 0) {
      first_ = c;
    } else {
      rest_.push_back(c);
    }
  }
  size_t front() const { return first_; }
  size_t size() const { return size_; }
  class iterator {
   public:
    iterator(const CopyList* list, size_t at) : list_(list), at_(at) {}
    size_t operator*() const { return at_ == 0 ? list_->first_ : list_->rest_[at_ - 1]; }
    iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator!=(const iterator& other) const { return at_ != other.at_; }

   private:
    const CopyList* list_;
    size_t at_;
  };
  iterator begin() const { return {this, 0}; }
  iterator end() const { return {this, size_}; }

 private:
  size_t first_ = 0, size_ = 0;
  std::vector<size_t> rest_;
};

struct Ranker::Doc {
  CopyList copies;
  size_t best = 0;  // the copy whose evidence is best
  double score = 0;
  bool kept = false;
};

// Between copies of one document that score the same, the one whose
// evidence is shown: the better rank in its source, then the domain, then
// the id. Never the order they came in, which differs from search to search.
bool Ranker::Before(const Copy& a, const Copy& b) {
  if (a.rank != b.rank) return a.rank < b.rank;
  if (a.row.domain != b.row.domain) return a.row.domain < b.row.domain;
  return a.row.id < b.row.id;
}

bool Ranker::Order::operator()(size_t a, size_t b) const {
  const Doc& x = ranker->docs_[a];
  const Doc& y = ranker->docs_[b];
  const double sx = Comparable(x.score), sy = Comparable(y.score);
  if (sx != sy) return sx > sy;
  const Copy& cx = ranker->copies_[x.best];
  const Copy& cy = ranker->copies_[y.best];
  if (cx.rank != cy.rank) return cx.rank < cy.rank;
  if (cx.row.domain != cy.row.domain) return cx.row.domain < cy.row.domain;
  if (cx.row.id != cy.row.id) return cx.row.id < cy.row.id;
  return a < b;
}

Ranker::Ranker(Merge merge, std::optional<size_t> limit) : merge_(merge), limit_(limit), kept_(Order{this}) {}
Ranker::~Ranker() = default;

Ranker::Source& Ranker::SourceOf(const std::string& domain) {
  if (lastSource_ != nullptr && *lastDomain_ == domain) return *lastSource_;
  auto& entry = *sources_.try_emplace(domain).first;
  lastDomain_ = &entry.first;
  lastSource_ = &entry.second;
  return entry.second;
}

uint32_t Ranker::TermIndex(const std::string& term) {
  const auto [it, added] = terms_.try_emplace(term, static_cast<uint32_t>(df_.size()));
  if (added) df_.push_back(0);
  return it->second;
}

void Ranker::KeyTable::Prefetch(uint64_t hash) const {
  if (!slots_.empty()) __builtin_prefetch(&slots_[Mix(hash) & (slots_.size() - 1)]);
}

size_t Ranker::KeyTable::Next(uint64_t hash, size_t& at) const {
  const size_t mask = slots_.size() - 1;
  for (; at < slots_.size(); ++at) {
    const auto& [h, doc] = slots_[(Mix(hash) + at) & mask];
    if (doc == kNone) break;
    if (h == hash) {
      ++at;
      return doc;
    }
  }
  at = slots_.size();
  return kNone;
}

void Ranker::KeyTable::Insert(uint64_t hash, size_t doc) {
  // At most half full, so a probe meets an empty slot soon; growing four
  // times over, so that fewer keys are filed again.
  if (2 * (used_ + 1) > slots_.size()) {
    std::vector<std::pair<uint64_t, size_t>> old(std::max<size_t>(256, 4 * slots_.size()), {0, kNone});
    old.swap(slots_);
    used_ = 0;
    for (const auto& [h, d] : old) {
      if (d != kNone) Insert(h, d);
    }
  }
  const size_t mask = slots_.size() - 1;
  for (size_t at = Mix(hash);; ++at) {
    auto& slot = slots_[at & mask];
    if (slot.second == kNone) {
      slot = {hash, doc};
      ++used_;
      return;
    }
  }
}

void Ranker::AddStatistics(const Row& entry) {
  Source& s = SourceOf(entry.domain);
  if (s.statistics || s.fused) return;  // a second copy of one plugin says the same; late ones come too late
  if (s.seen > 0) {
    s.fused = true;
    ++fusedSources_;
    dirty_ = true;
    return;
  }
  const std::string* documents = Find(entry, names::kDocumentsProperty);
  const std::string* average = Find(entry, names::kAverageLengthProperty);
  const std::string* df = Find(entry, names::kDocumentCountsProperty);
  std::vector<std::pair<std::string_view, double>> counts;
  bool ok = documents != nullptr && average != nullptr && df != nullptr && Number(*documents, s.documents) &&
            Number(*average, s.averageLength) && s.documents >= 1 && s.documents <= kMostDocuments &&
            s.averageLength >= 0 && s.averageLength <= kLongest &&
            EachCount(*df, s.documents, [&](std::string_view word, double count) {
              counts.emplace_back(word, count);
              return true;
            });
  if (!ok) {
    s.fused = true;
    ++fusedSources_;
    return;
  }
  s.statistics = true;
  documents_ += s.documents;
  totalLength_ += s.documents * s.averageLength;
  for (const auto& [word, count] : counts) {
    std::string term(word);
    const uint32_t index = TermIndex(term);
    df_[index] += count;
    s.df.push_back({std::move(term), count, index});
  }
  // What is kept is scored again now, once per source, so the hits that
  // follow go straight to their place.
  if (merge_ == Merge::kStats) {
    if (Incremental()) {
      Rescore();
    } else {
      dirty_ = true;
    }
  }
}

// Which document a hit is: keys by their hash, each match checked against
// the copies it came from, so a collision never joins two documents.
size_t Ranker::KeysOf(const Row& hit, Key (&keys)[kMostKeys]) {
  size_t count = 0;
  // The kind (its number) is part of the hash: a path is never a digest.
  const auto hashOf = [](uint64_t kind, std::string_view a, std::string_view b) {
    const std::hash<std::string_view> h;
    return (h(a) * 0x9e3779b97f4a7c15ULL) ^ (b.empty() ? 0 : h(b) + 0x632be59bd9b4e019ULL) ^ (kind << 56);
  };
  const char* const kinds[] = {"path", "url", "digest"};
  for (uint64_t kind = 0; kind < 3; ++kind) {
    if (const std::string* value = Find(hit, kinds[kind]); value != nullptr && !value->empty())
      keys[count++] = {kinds[kind], value, hashOf(kind + 1, *value, {})};
  }
  // Domain and id only when nothing else tells: the copies of one plugin
  // loaded twice share their paths too.
  if (count == 0) keys[count++] = {"id", &hit.id, hashOf(0, hit.domain, hit.id)};
  return count;
}

void Ranker::AddHit(Row hit) {
  Key keys[kMostKeys];
  const size_t count = KeysOf(hit, keys);
  for (size_t k = 0; k < count; ++k) byKey_.Prefetch(keys[k].hash);
  Add(hit, keys, count);
}

void Ranker::AddHits(std::vector<Row>&& hits) {
  // The table's slots lie anywhere in memory: asked for a few hits ahead,
  // they are there when their hit's turn comes.
  constexpr size_t kAhead = 4;
  Key keys[kAhead + 1][kMostKeys];
  size_t counts[kAhead + 1] = {};
  for (size_t i = 0; i < hits.size() + kAhead; ++i) {
    if (i < hits.size()) {
      const size_t slot = i % (kAhead + 1);
      counts[slot] = KeysOf(hits[i], keys[slot]);
      for (size_t k = 0; k < counts[slot]; ++k) byKey_.Prefetch(keys[slot][k].hash);
    }
    if (i >= kAhead) {
      const size_t slot = (i - kAhead) % (kAhead + 1);
      Add(hits[i - kAhead], keys[slot], counts[slot]);
    }
  }
  hits.clear();
}

void Ranker::Add(Row& hit, const Key* keys, size_t count) {
  Source& s = SourceOf(hit.domain);
  // Made in place: a Copy is large, and moving it in would cost.
  Copy& copy = copies_.emplace_back();
  copy.source = &s;
  ++s.seen;
  double rank = 0;
  const std::string* given = Find(hit, names::kSourceRankProperty);
  copy.rank = given != nullptr && Number(*given, rank) && rank >= 1 && rank <= kMostDocuments
                  ? static_cast<size_t>(rank)
                  : s.seen;
  s.best = std::max(s.best, Comparable(hit.score));
  s.worst = std::min(s.worst, Comparable(hit.score));
  if (merge_ == Merge::kMinMax) dirty_ = true;  // the source's range may have moved
  if (merge_ == Merge::kStats && !s.fused) {
    const std::string* length = Find(hit, names::kLengthProperty);
    const std::string* tf = Find(hit, names::kTermCountsProperty);
    const size_t first = termCounts_.size();
    // Each count by the term's index: a count of 0 adds nothing to a score,
    // and one of a term its own source says no document holds is wrong.
    const auto counted = [&](std::string_view word, double n) {
      if (n == 0) return true;
      const auto held = std::find_if(s.df.begin(), s.df.end(), [&](const auto& d) { return d.word == word; });
      if (held == s.df.end() || held->count < 1) return false;
      termCounts_.push_back({held->index, n});
      return true;
    };
    const bool ok = s.statistics && length != nullptr && tf != nullptr && Number(*length, copy.length) &&
                    copy.length >= 0 && copy.length <= kLongest && EachCount(*tf, kLongest, counted);
    if (ok) {
      copy.tfBegin = static_cast<uint32_t>(first);
      copy.tfCount = static_cast<uint32_t>(termCounts_.size() - first);
    } else {
      termCounts_.resize(first);
      // Fused by rank from now on: a source whose statistics miss a hit
      // cannot be scored like the others.
      s.fused = true;
      ++fusedSources_;
      if (s.statistics) {
        documents_ -= s.documents;
        totalLength_ -= s.documents * s.averageLength;
        for (const auto& term : s.df) df_[term.index] -= term.count;
        s.statistics = false;
      }
      dirty_ = true;
    }
  }

  const auto holds = [&](size_t doc, const Key& key) {
    for (size_t c : docs_[doc].copies) {
      const Row& row = copies_[c].row;
      if (std::string_view(key.kind) == "id" ? row.domain == hit.domain && row.id == hit.id
                                             : Find(row, key.kind) != nullptr && *Find(row, key.kind) == *key.value)
        return true;
    }
    return false;
  };
  size_t doc = docs_.size();
  bool known[kMostKeys] = {};
  for (size_t k = 0; k < count; ++k) {
    size_t at = 0;
    for (size_t d = byKey_.Next(keys[k].hash, at); d != KeyTable::kNone && !known[k];
         d = byKey_.Next(keys[k].hash, at)) {
      if (!holds(d, keys[k])) continue;
      known[k] = true;
      if (doc == docs_.size()) doc = d;
    }
  }
  if (doc == docs_.size()) docs_.emplace_back();
  for (size_t k = 0; k < count; ++k) {
    if (!known[k]) byKey_.Insert(keys[k].hash, doc);
  }
  copy.row = std::move(hit);
  docs_[doc].copies.push_back(copies_.size() - 1);
  if (!dirty_ && Incremental()) {
    Score(doc);
    Keep(doc);
  } else {
    dirty_ = true;
  }
}

bool Ranker::Incremental() const {
  if (merge_ == Merge::kMinMax) return false;
  if (merge_ != Merge::kStats) return true;
  return fusedSources_ == 0;
}

double Ranker::CopyScore(const Copy& c) const {
  switch (merge_) {
    case Merge::kPlugin: return c.row.score;
    case Merge::kRrf: return 1 / (kFusion + static_cast<double>(c.rank));
    case Merge::kMinMax: {
      const double range = c.source->best - c.source->worst;
      if (!std::isfinite(range) || range <= 0) return 1;
      return (Comparable(c.row.score) - c.source->worst) / range;
    }
    case Merge::kStats: {
      if (!c.source->statistics) return 0;
      const double average = documents_ > 0 ? totalLength_ / documents_ : 0;
      const double norm = average > 0 ? c.length / average : 1;
      double score = 0;
      for (uint32_t i = c.tfBegin; i < c.tfBegin + c.tfCount; ++i) {
        const auto [term, tf] = termCounts_[i];
        if (term >= idf_.size()) continue;  // reported after the last re-score
        score += idf_[term] * tf * (kK1 + 1) / (tf + kK1 * (1 - kB + kB * norm));
      }
      return score;
    }
  }
  return 0;
}

// A document's score under a method whose copies' scores stand alone.
void Ranker::Score(size_t index) {
  Doc& doc = docs_[index];
  if (doc.kept) {
    kept_.erase(index);
    doc.kept = false;
  }
  doc.best = doc.copies.front();
  double best = -std::numeric_limits<double>::infinity();
  for (size_t c : doc.copies) {
    Copy& copy = copies_[c];
    copy.score = CopyScore(copy);
    if (c == doc.copies.front() || Comparable(copy.score) > best ||
        (Comparable(copy.score) == best && Before(copy, copies_[doc.best]))) {
      best = Comparable(copy.score);
      doc.best = c;
    }
  }
  doc.score = merge_ == Merge::kRrf ? FusedSum(doc, false) : copies_[doc.best].score;
}

// The sum of a document's reciprocal ranks, each source counted once (by
// its copy ranked best there); with `unscoredOnly`, only sources without
// statistics.
double Ranker::FusedSum(const Doc& doc, bool unscoredOnly) const {
  std::vector<std::pair<const Source*, double>> best;
  for (size_t c : doc.copies) {
    const Copy& copy = copies_[c];
    if (unscoredOnly && copy.source->statistics) continue;
    const double score = 1 / (kFusion + static_cast<double>(copy.rank));
    auto it = std::find_if(best.begin(), best.end(), [&](const auto& b) { return b.first == copy.source; });
    if (it == best.end()) {
      best.emplace_back(copy.source, score);
    } else {
      it->second = std::max(it->second, score);
    }
  }
  double sum = 0;
  for (const auto& b : best) sum += b.second;
  return sum;
}

void Ranker::Keep(size_t index) {
  if (docs_[index].kept) {
    kept_.erase(index);
    docs_[index].kept = false;
  }
  // Most hits of a long search fall short of the best N: no node for them.
  if (limit_ && kept_.size() >= *limit_ && (*limit_ == 0 || !Order{this}(index, *std::prev(kept_.end())))) return;
  kept_.insert(index);
  docs_[index].kept = true;
  if (limit_ && kept_.size() > *limit_) {
    const auto last = std::prev(kept_.end());
    docs_[*last].kept = false;
    kept_.erase(last);
  }
}

void Ranker::Rescore() {
  idf_.resize(df_.size());
  for (size_t term = 0; term < df_.size(); ++term) {
    const double n = std::min(df_[term], documents_);
    idf_[term] = std::log(1 + (documents_ - n + 0.5) / (n + 0.5));
  }
  kept_.clear();
  for (Doc& d : docs_) d.kept = false;
  for (size_t i = 0; i < docs_.size(); ++i) Score(i);
  if (merge_ == Merge::kStats && !Incremental()) {
    // Stats-scored hits make one list; each source without statistics is a
    // list of its own; a document's score is its reciprocal ranks' sum.
    std::vector<size_t> scored;
    for (size_t i = 0; i < docs_.size(); ++i) {
      for (size_t c : docs_[i].copies) {
        if (copies_[c].source->statistics) {
          scored.push_back(i);
          break;
        }
      }
    }
    auto bestStats = [&](size_t i) {
      double best = -std::numeric_limits<double>::infinity();
      for (size_t c : docs_[i].copies) {
        if (copies_[c].source->statistics) best = std::max(best, copies_[c].score);
      }
      return best;
    };
    std::vector<double> statsScore(docs_.size(), 0);
    for (size_t i : scored) statsScore[i] = bestStats(i);
    std::stable_sort(scored.begin(), scored.end(), [&](size_t a, size_t b) {
      if (statsScore[a] != statsScore[b]) return statsScore[a] > statsScore[b];
      return Order{this}(a, b);
    });
    std::vector<double> fused(docs_.size(), 0);
    for (size_t r = 0; r < scored.size(); ++r) fused[scored[r]] += 1 / (kFusion + static_cast<double>(r + 1));
    for (size_t i = 0; i < docs_.size(); ++i) {
      Doc& d = docs_[i];
      double bestCopy = -1;
      for (size_t c : d.copies) {
        Copy& copy = copies_[c];
        if (copy.source->statistics) continue;
        copy.score = 1 / (kFusion + static_cast<double>(copy.rank));
        if (statsScore[i] == 0 && (copy.score > bestCopy || (copy.score == bestCopy && Before(copy, copies_[d.best])))) {
          bestCopy = copy.score;
          d.best = c;
        }
      }
      d.score = fused[i] + FusedSum(d, true);
    }
  }
  for (size_t i = 0; i < docs_.size(); ++i) Keep(i);
  dirty_ = false;
}

std::vector<Ranked> Ranker::Best() {
  if (dirty_) Rescore();
  std::vector<Ranked> best;
  best.reserve(kept_.size());
  for (size_t index : kept_) {
    const Doc& d = docs_[index];
    Ranked r;
    r.row = copies_[d.best].row;
    r.row.score = d.score;
    std::erase_if(r.row.properties, [](const auto& p) { return Hidden(p.first); });
    std::vector<size_t> order;
    for (size_t c : d.copies) order.push_back(c);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      if (a == d.best || b == d.best) return a == d.best && b != d.best;
      if (Comparable(copies_[a].score) != Comparable(copies_[b].score))
        return Comparable(copies_[a].score) > Comparable(copies_[b].score);
      return Before(copies_[a], copies_[b]);
    });
    for (size_t c : order) {
      const Copy& copy = copies_[c];
      const bool listed = std::any_of(r.sources.begin(), r.sources.end(),
                                      [&](const auto& s) { return s.first == copy.row.domain; });
      if (!listed) r.sources.emplace_back(copy.row.domain, copy.rank);
    }
    best.push_back(std::move(r));
  }
  return best;
}

std::vector<std::string> Ranker::Fused() const {
  std::vector<std::string> fused;
  if (merge_ != Merge::kStats) return fused;
  for (const auto& [name, s] : sources_) {
    if (s.seen > 0 && !s.statistics) fused.push_back(name);
  }
  return fused;
}

}  // namespace tessik_cli
