// The plain-files plugin: every text file in a folder is a document. The
// first non-empty line is its title, the rest its text, the first-level
// subfolder its category and the path below the folder, without the file's
// extension, its id. The folder is read into memory on first use and
// searched by scanning word ids with a BM25 score; stems come from the
// library's word look-up. What it will read into memory is capped
// ("max-files", "max-bytes" in its configuration), since a query or a user
// can point it at any folder.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "WordNetEn.h"
#include "kit/Config.h"
#include "kit/Engine.h"
#include "kit/Text.h"
#include "tessik/TessikClient.h"

namespace tessik_plugins {
namespace {

struct Document {
  std::string id, category, title, text;
  std::vector<uint32_t> title_words, text_words;  // folded vocabulary ids
  std::vector<uint32_t> title_exact, text_exact;  // exact-case vocabulary ids
};

class Vocabulary {
 public:
  uint32_t Id(const std::string& word) {
    auto [it, added] = ids_.emplace(word, static_cast<uint32_t>(words_.size()));
    if (added) words_.push_back(word);
    return it->second;
  }
  const uint32_t* Find(const std::string& word) const {
    auto it = ids_.find(word);
    return it == ids_.end() ? nullptr : &it->second;
  }
  const std::vector<std::string>& Words() const { return words_; }

 private:
  std::unordered_map<std::string, uint32_t> ids_;
  std::vector<std::string> words_;
};

std::vector<std::string> StemsOf(const std::string& word) {
  std::vector<std::string> stems;
  TessikWordList list = nullptr;
  if (Tessik_GetStemming(ToUtf16(word).c_str(), &list) == TESSIK_OK && list != nullptr) {
    const auto* words = static_cast<const WordNetWordList*>(list);
    for (int32_t i = 0; i < words->count; ++i) stems.push_back(Fold(words->words[i]));
    Tessik_ReleaseWordList(list);
  }
  return stems;
}

// One folder, read once. Immutable after loading except for the stem map,
// which is made on the first search that asks for stems.
class Folder {
 public:
  // Reads the folder at `path`, at most `maxFiles` files and `maxBytes`
  // bytes; throws EngineError past either, and when `abort` turns true
  // (a search that is no longer wanted stops its load too).
  Folder(const std::string& path, size_t maxFiles, uintmax_t maxBytes, const std::atomic<bool>& abort) {
    namespace fs = std::filesystem;
    const fs::path root = PathOf(path);
    std::error_code ec;
    if (!fs::is_directory(root, ec)) throw EngineError("no folder of documents at " + path);
    std::vector<fs::path> files;
    uintmax_t bytes = 0;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
      if (abort) throw EngineError("the search was aborted while the folder " + path + " was read");
      if (!it->is_regular_file(ec)) continue;
      files.push_back(it->path());
      bytes += it->file_size(ec);
      if (files.size() > maxFiles || bytes > maxBytes)
        throw EngineError("the folder " + path + " holds more than " + std::to_string(maxFiles) + " files or " +
                          std::to_string(maxBytes >> 20) + " MiB; this plugin reads at most that much");
    }
    if (ec) throw EngineError("cannot read the folder " + path + ": " + ec.message());
    std::sort(files.begin(), files.end());
    size_t total = 0;
    for (const fs::path& file : files) {
      if (abort) throw EngineError("the search was aborted while the folder " + path + " was read");
      std::ifstream in(file, std::ios::binary);
      std::ostringstream content;
      content << in.rdbuf();
      Document doc;
      fs::path relative = file.lexically_relative(root);
      if (std::distance(relative.begin(), relative.end()) > 1) doc.category = Utf8Of(*relative.begin());
      doc.id = Utf8Of(relative.replace_extension().generic_string());
      Split(content.str(), doc);
      Index(doc.title, doc.title_words, doc.title_exact);
      Index(doc.text, doc.text_words, doc.text_exact);
      total += doc.title_words.size() + doc.text_words.size();
      docs_.push_back(std::move(doc));
    }
    average_length_ = docs_.empty() ? 1.0 : static_cast<double>(total) / docs_.size();
  }

  Found Search(const Plan& plan, size_t limit, const std::atomic<bool>& abort) {
    std::vector<Matcher> required, excluded;
    for (const Term& term : plan.required) required.push_back(MatcherFor(term, plan));
    for (const Term& term : plan.excluded) excluded.push_back(MatcherFor(term, plan));
    std::unordered_set<std::string> categories;
    for (const std::string& c : plan.categories) categories.insert(Fold(c));

    const bool positive = plan.Ranked();
    std::vector<double> df(required.size(), 0);
    struct Candidate {
      size_t doc;
      std::vector<double> tf;
    };
    std::vector<Candidate> candidates;
    for (size_t d = 0; d < docs_.size(); ++d) {
      if ((d & 1023) == 0 && abort) break;
      const Document& doc = docs_[d];
      if (!categories.empty() && categories.count(Fold(doc.category)) == 0) continue;
      if (std::any_of(excluded.begin(), excluded.end(), [&](const Matcher& m) { return Count(m, doc) > 0; })) continue;
      std::vector<double> tf(required.size(), 0);
      size_t matched = 0;
      for (size_t t = 0; t < required.size(); ++t) {
        tf[t] = Count(required[t], doc);
        matched += tf[t] > 0;
      }
      if (positive && (plan.any ? matched == 0 : matched < required.size())) continue;
      for (size_t t = 0; t < required.size(); ++t) df[t] += tf[t] > 0;
      candidates.push_back({d, std::move(tf)});
    }

    // BM25 over the matched terms; with nothing positive to rank by, every
    // document left counts the same.
    const double n = static_cast<double>(docs_.size());
    std::vector<std::pair<double, size_t>> ranked;  // score, document
    ranked.reserve(candidates.size());
    double best = 0;
    for (const Candidate& c : candidates) {
      const Document& doc = docs_[c.doc];
      const double length = static_cast<double>(doc.title_words.size() + doc.text_words.size());
      double score = positive ? 0 : 1;
      for (size_t t = 0; t < required.size(); ++t) {
        if (c.tf[t] == 0) continue;
        const double idf = std::log(1 + (n - df[t] + 0.5) / (df[t] + 0.5));
        score += idf * c.tf[t] * 2.2 / (c.tf[t] + 1.2 * (0.25 + 0.75 * length / average_length_));
      }
      best = std::max(best, score);
      ranked.emplace_back(score, c.doc);
    }
    // Best first; equal scores in document (file name) order.
    const size_t keep = std::min(limit, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + keep, ranked.end(), [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    Found found;
    found.more = ranked.size() > keep;
    std::vector<Hit>& hits = found.hits;
    hits.resize(keep);
    for (size_t i = 0; i < keep; ++i) {
      const Document& doc = docs_[ranked[i].second];
      hits[i].score = best > 0 ? ranked[i].first / best : 0;
      hits[i].id = doc.id;
      hits[i].category = doc.category;
      hits[i].title = doc.title;
      hits[i].snippet = Snippet(doc.text.empty() ? doc.title : doc.text, 160);
    }
    return found;
  }

 private:
  struct Matcher {
    std::vector<bool> folded;     // by folded vocabulary id
    uint32_t exact = UINT32_MAX;  // the word itself, case and all (case-sensitive queries)
    unsigned fields = kAnyField;
  };

  static void Split(const std::string& content, Document& doc) {
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
      const size_t b = line.find_first_not_of(" \t\r");
      if (b == std::string::npos) continue;
      doc.title = line.substr(b, line.find_last_not_of(" \t\r") - b + 1);
      break;
    }
    std::ostringstream rest;
    rest << in.rdbuf();
    doc.text = rest.str();
  }

  void Index(const std::string& text, std::vector<uint32_t>& folded, std::vector<uint32_t>& exact) {
    for (const std::string& word : Words(text)) {
      folded.push_back(folded_.Id(Fold(word)));
      exact.push_back(exact_.Id(word));
    }
  }

  Matcher MatcherFor(const Term& term, const Plan& plan) {
    Matcher m;
    m.fields = term.fields;
    m.folded.assign(folded_.Words().size(), false);
    auto mark = [&](const std::string& word) {
      if (const uint32_t* id = folded_.Find(word)) m.folded[*id] = true;
    };
    if (plan.caseSensitive) {
      const uint32_t* id = exact_.Find(term.word);
      if (id != nullptr) m.exact = *id;
    } else {
      mark(Fold(term.word));
    }
    for (const std::string& s : term.synonyms) mark(s);
    if (plan.stemming) {
      std::lock_guard<std::mutex> lock(stems_mu_);
      if (!stems_ready_) MakeStems();
      std::vector<std::string> bases = StemsOf(term.word);
      bases.push_back(Fold(term.word));
      for (const std::string& base : bases) {
        auto it = by_stem_.find(base);
        if (it == by_stem_.end()) continue;
        for (uint32_t id : it->second) m.folded[id] = true;
      }
    }
    return m;
  }

  // Every word of the folder under each of its base forms (and itself).
  void MakeStems() {
    const std::vector<std::string>& words = folded_.Words();
    for (uint32_t id = 0; id < words.size(); ++id) {
      by_stem_[words[id]].push_back(id);
      for (const std::string& stem : StemsOf(words[id]))
        if (stem != words[id]) by_stem_[stem].push_back(id);
    }
    stems_ready_ = true;
  }

  static double CountIn(const Matcher& m, const std::vector<uint32_t>& folded, const std::vector<uint32_t>& exact) {
    double n = 0;
    for (size_t i = 0; i < folded.size(); ++i) n += m.folded[folded[i]] || exact[i] == m.exact;
    return n;
  }

  static double Count(const Matcher& m, const Document& doc) {
    double n = 0;
    // A word in the title weighs twice.
    if (m.fields & kTitle) n += 2 * CountIn(m, doc.title_words, doc.title_exact);
    if (m.fields & kBody) n += CountIn(m, doc.text_words, doc.text_exact);
    return n;
  }

  std::vector<Document> docs_;
  Vocabulary folded_, exact_;
  double average_length_ = 1;
  std::mutex stems_mu_;
  bool stems_ready_ = false;                                        // guarded by stems_mu_
  std::unordered_map<std::string, std::vector<uint32_t>> by_stem_;  // guarded by stems_mu_ (read after it is ready)
};

class FilesEngine : public Engine {
 public:
  Found Search(const Plan& plan, const Domain& domain, size_t limit, const std::atomic<bool>& abort) override {
    const std::string data = domain.Property("data", "");
    if (data.empty()) throw EngineError("no folder of documents configured");
    std::shared_ptr<Folder> folder;
    {
      // One load per folder; a search of the same folder meanwhile waits
      // for it. A load that fails (or is aborted) leaves nothing behind,
      // so the next search tries again.
      std::lock_guard<std::mutex> lock(mu_);
      std::shared_ptr<Folder>& slot = folders_[data];
      if (!slot) {
        try {
          slot = std::make_shared<Folder>(data, MaxFiles(), MaxBytes(), abort);
        } catch (...) {
          folders_.erase(data);
          throw;
        }
      }
      folder = slot;
    }
    return folder->Search(plan, limit, abort);
  }

 private:
  static size_t MaxFiles() { return PluginConfig().Count("max-files", 50000); }
  static uintmax_t MaxBytes() { return PluginConfig().Count("max-bytes", size_t{64} << 20); }

  std::mutex mu_;
  std::map<std::string, std::shared_ptr<Folder>> folders_;  // guarded by mu_
};

}  // namespace

std::unique_ptr<Engine> MakeEngine() { return std::make_unique<FilesEngine>(); }

}  // namespace tessik_plugins
