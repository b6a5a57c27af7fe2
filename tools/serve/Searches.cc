#include "serve/Searches.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "common/Text.h"
#include "kit/Text.h"
#include "search/Async.h"
#include "search/Core.h"
#include "serve/Answers.h"
#include "serve/Html.h"
#include "tessik/Query.h"

namespace tessik_serve {
namespace {

namespace fs = std::filesystem;
using tessik_cli::PluginReport;
using tessik_cli::Ranked;

// How often a worker looks at a search's stop flag while it runs.
constexpr std::chrono::milliseconds kTick(20);

std::string DomainOf(const std::string& pluginPath) { return fs::path(pluginPath).stem().string(); }

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

std::vector<std::string> Catalogue::Names() const {
  std::vector<std::string> names;
  for (const tessik_cli::Source& s : list.sources) names.push_back(s.name);
  for (const std::string& p : plugins) names.push_back(DomainOf(p));
  return names;
}

Searches::Searches(Catalogue catalogue, size_t workers, size_t queue, uint32_t pollMs)
    : catalogue_(std::move(catalogue)), workers_(std::max<size_t>(workers, 1)), queue_(queue), pollMs_(pollMs) {}

Searches::~Searches() { Stop(std::chrono::milliseconds(0)); }

void Searches::Start(std::chrono::milliseconds wait) {
  for (size_t i = 0; i < workers_; ++i) threads_.emplace_back(&Searches::Work, this);
  std::unique_lock<std::mutex> lock(mu_);
  changed_.wait_for(lock, wait, [&] { return warm_ == workers_; });
}

bool Searches::Warm() const {
  std::lock_guard<std::mutex> lock(mu_);
  return warm_ == workers_;
}

std::vector<std::pair<std::string, int32_t>> Searches::Loaded() const {
  std::lock_guard<std::mutex> lock(mu_);
  return loaded_;
}

Searches::Admit Searches::Submit(std::shared_ptr<Search> search) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (stopping_) return Admit::kStopping;
    auto& waiting = search->stream ? streams_ : plain_;
    if (waiting.size() >= queue_) return Admit::kFull;
    waiting.push_back(std::move(search));
  }
  changed_.notify_all();
  return Admit::kQueued;
}

std::shared_ptr<Search> Searches::Next() {
  std::unique_lock<std::mutex> lock(mu_);
  // One worker is kept for plain searches: streams are held open by their
  // clients, so without it they could take every worker.
  const size_t mostStreams = workers_ > 1 ? workers_ - 1 : 1;
  for (;;) {
    if (stopping_) return nullptr;
    std::shared_ptr<Search> next;
    if (!plain_.empty()) {
      next = std::move(plain_.front());
      plain_.pop_front();
    } else if (!streams_.empty() && streamsRunning_ < mostStreams) {
      next = std::move(streams_.front());
      streams_.pop_front();
      ++streamsRunning_;
    }
    if (next) {
      next->picked = true;
      running_.push_back(next);
      return next;
    }
    changed_.wait(lock);
  }
}

bool Searches::Stop(std::chrono::milliseconds wait) {
  std::deque<std::shared_ptr<Search>> refused;
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
    for (auto* q : {&plain_, &streams_}) {
      refused.insert(refused.end(), q->begin(), q->end());
      q->clear();
    }
    for (const auto& s : running_) s->stop = true;
  }
  changed_.notify_all();
  for (const auto& s : refused) {
    if (s->Claim() && s->onAnswer) s->onAnswer(ErrorAnswer(503, "the server is stopping"));
  }
  bool ended = false;
  {
    std::unique_lock<std::mutex> lock(mu_);
    ended = changed_.wait_for(lock, wait, [&] { return ended_ == threads_.size(); });
  }
  for (std::thread& t : threads_) {
    if (!t.joinable()) continue;
    // A worker held up by a lock another process keeps is left to the
    // process's exit: joining it could take for ever.
    if (ended) t.join();
    else t.detach();
  }
  threads_.clear();
  return ended;
}

void Searches::Work() {
  uint32_t session = 0;
  std::vector<std::pair<std::string, int32_t>> loaded;
  if (Tessik_OpenSession(TESSIK_TEXT("tessik serve"), &session) == TESSIK_OK) {
    // One plugin per engine serves every source of that engine.
    for (const tessik_cli::Source& s : catalogue_.list.sources) {
      if (std::none_of(loaded.begin(), loaded.end(), [&](const auto& l) { return l.first == s.engine; }))
        loaded.emplace_back(s.engine, Tessik_LoadPluginByDomain(session, tessik_cli::Widen(s.engine).c_str()));
    }
    for (const std::string& path : catalogue_.plugins)
      loaded.emplace_back(path, Tessik_LoadPluginByPath(session, tessik_cli::Widen(path).c_str()));
    Tessik_InitSearch(session);
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (warm_++ == 0) loaded_ = loaded;
  }
  changed_.notify_all();
  while (std::shared_ptr<Search> search = Next()) {
    if (!search->answered) {
      if (session == 0) {
        if (search->Claim() && search->onAnswer) search->onAnswer(ErrorAnswer(500, "no session could be opened"));
      } else {
        Run(session, loaded, *search);
      }
    }
    {
      std::lock_guard<std::mutex> lock(mu_);
      running_.erase(std::find(running_.begin(), running_.end(), search));
      if (search->stream) --streamsRunning_;
    }
    changed_.notify_all();
  }
  if (session != 0) Tessik_CloseSession(session);
  {
    std::lock_guard<std::mutex> lock(mu_);
    ++ended_;
  }
  changed_.notify_all();
}

void Searches::Run(uint32_t session, const std::vector<std::pair<std::string, int32_t>>& loaded, Search& search) {
  const tessik_cli::SearchOptions& o = search.request.options;
  auto statusOf = [&](const std::string& key) {
    const auto it = std::find_if(loaded.begin(), loaded.end(), [&](const auto& l) { return l.first == key; });
    return it != loaded.end() ? it->second : TESSIK_E_FAILED;
  };
  // The sources asked for (every one served when none is), each with its
  // report and, when it can answer, its target.
  std::vector<std::string> chosen = o.sources.empty() ? catalogue_.Names() : o.sources;
  std::vector<PluginReport> plugins;
  std::vector<tessik_cli::DomainTarget> targets;
  for (const std::string& name : chosen) {
    if (const tessik_cli::Source* s = catalogue_.list.Find(name); s != nullptr) {
      PluginReport report{"Plugins/" + s->engine, s->name, statusOf(s->engine), 0, ""};
      std::error_code missing;
      if (report.status != TESSIK_OK) {
        report.error = "loading the plugin failed: " + tessik_cli::DescribeStatus(report.status);
      } else if (!fs::exists(tessik_plugins::PathOf(s->path), missing)) {
        report.status = TESSIK_E_FAILED;
        report.error = "its path " + s->path + " is gone";
      } else {
        targets.push_back(tessik_cli::SourceTarget(catalogue_.list, *s, o));
      }
      plugins.push_back(std::move(report));
      continue;
    }
    for (const std::string& path : catalogue_.plugins) {
      if (DomainOf(path) != name) continue;
      PluginReport report{fs::path(path).filename().string(), name, statusOf(path), 0, ""};
      if (report.status != TESSIK_OK) {
        report.error = "loading the plugin failed: " + tessik_cli::DescribeStatus(report.status);
      } else {
        targets.push_back({name, "", tessik_cli::SourceLimit(o), {}});
        tessik_cli::AskStatistics(o, targets.back());
      }
      plugins.push_back(std::move(report));
      break;
    }
  }

  const std::string queryXml = tessik_cli::QueryXml(tessik_cli::QueryFromOptions(o), targets);
  IQuery* query = nullptr;
  if (const int32_t status = Tessik_ParseQueryFromXML(tessik_cli::Widen(queryXml).c_str(), &query);
      status != TESSIK_OK) {
    if (search.Claim())
      search.onAnswer(ErrorAnswer(500, "the query could not be read: " + tessik_cli::DescribeStatus(status)));
    return;
  }
  struct QueryGuard {
    IQuery* q;
    ~QueryGuard() { Tessik_ReleaseQuery(q); }
  } queryGuard{query};

  const size_t offset = search.request.offset;
  const bool byScore = o.sort == "score";
  tessik_cli::Ranker ranker(o.merge, byScore ? std::optional<size_t>(o.limit) : std::nullopt);
  tessik_cli::Results results(ranker);
  std::set<std::string> reported;  // sources whose end was streamed
  auto page = [&](std::vector<Ranked> best) {
    best.erase(best.begin(), best.begin() + static_cast<std::ptrdiff_t>(std::min(offset, best.size())));
    return best;
  };
  auto reportEnds = [&](bool all) {
    if (!search.stream) return;
    std::set<std::string> ended = results.Answered();
    for (const tessik_cli::Failure& f : results.Failures()) ended.insert(f.domain);
    for (const PluginReport& p : plugins) {
      if (reported.count(p.domain) > 0 || (!all && ended.count(p.domain) == 0 && p.status == TESSIK_OK)) continue;
      reported.insert(p.domain);
      PluginReport now = p;
      const auto hits = results.PerDomain().find(p.domain);
      now.hits = hits != results.PerDomain().end() ? hits->second : 0;
      for (const tessik_cli::Failure& f : results.Failures()) {
        if (f.domain == p.domain) {
          now.status = f.status;
          now.error = f.error;
        }
      }
      search.onEvent("source", tessik_cli::SourceJson(now, Since(search.start)));
    }
  };
  int32_t readStatus = TESSIK_OK;
  tessik_cli::AsyncOutcome outcome;
  if (!targets.empty()) {
    reportEnds(false);  // the sources that failed before searching
    auto onResults = [&](const TessikChar* text) {
      search.started = true;
      const std::map<std::string, size_t> before = results.PerDomain();
      if (const int32_t status = results.Add(text); status != TESSIK_OK) readStatus = status;
      if (!search.stream) return;
      std::map<std::string, size_t> arrived;
      for (const auto& [domain, count] : results.PerDomain()) {
        const auto was = before.find(domain);
        const size_t old = was != before.end() ? was->second : 0;
        if (count > old) arrived[domain] = count - old;
      }
      search.onEvent("batch", tessik_cli::BatchJson(results.Batches(), page(ranker.Best()), &arrived, offset));
      reportEnds(false);
    };
    outcome = tessik_cli::RunAsyncSearch(session, query, pollMs_, onResults, [&] { search.started = true; }, kTick,
                                         search.stop);
  }
  search.started = true;

  std::vector<Ranked> ranked;
  Answer answer;
  if (outcome.status != TESSIK_OK || readStatus != TESSIK_OK) {
    answer = ErrorAnswer(500, "the search failed: " + tessik_cli::DescribeStatus(
                                                         outcome.status != TESSIK_OK ? outcome.status : readStatus));
  } else if (const int32_t status = tessik_cli::RankedList(ranker, o, ranked); status != TESSIK_OK) {
    answer = ErrorAnswer(500, "sorting the hits failed: " + tessik_cli::DescribeStatus(status));
  } else {
    tessik_cli::SearchFacts facts;
    facts.partial = outcome.stopped;
    facts.offset = offset;
    if (search.timedOut) {
      // The sources asked that had not answered (before Account adds the
      // domains that answered under other names).
      for (const PluginReport& p : plugins) {
        if (p.status == TESSIK_OK && results.Answered().count(p.domain) == 0) facts.timedOut.push_back(p.domain);
      }
    }
    tessik_cli::Account(plugins, results, ranker);
    ranked = page(std::move(ranked));
    answer.hits = ranked.size();
    const char* merge = tessik_cli::MergeName(o.merge);
    if (search.stream) {
      reportEnds(true);
      answer.contentType = "text/event-stream";
      answer.body = tessik_cli::DoneJson(facts, plugins, ranked.size(), Since(search.start));
    } else if (search.request.output == Output::kXml) {
      int32_t status = TESSIK_OK;
      answer.body = tessik_cli::ResultsXml(tessik_cli::RowsOf(ranked), status);
      answer.contentType = "application/xml; charset=utf-8";
      if (status != TESSIK_OK) answer = ErrorAnswer(500, "writing the results failed");
    } else if (search.request.output == Output::kHtml) {
      answer.contentType = "text/html; charset=utf-8";
      answer.body = ResultsPage(search.request, plugins, ranked, facts);
    } else {
      answer.contentType = "application/json";
      answer.body = tessik_cli::SearchJson(queryXml, merge, plugins, ranked, facts);
    }
  }
  if (search.Claim()) search.onAnswer(std::move(answer));
}

}  // namespace tessik_serve
