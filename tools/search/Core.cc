#include "search/Core.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "kit/Names.h"

namespace tessik_cli {

std::optional<uint32_t> SourceLimit(const SearchOptions& o) {
  if (o.sourceLimit) return o.sourceLimit;
  if (o.limit) return std::max<uint32_t>(*o.limit, 100);
  return std::nullopt;
}

void AskStatistics(const SearchOptions& o, DomainTarget& target) {
  if (o.merge == Merge::kStats)
    target.properties.emplace_back(tessik_plugins::kStatisticsProperty, tessik_plugins::kStatisticsBm25);
}

DomainTarget SourceTarget(const SourceList& list, const Source& source, const SearchOptions& o) {
  DomainTarget target{source.name, source.engine == "files" ? IndexFile(list, source) : source.path, SourceLimit(o),
                      {}};
  target.properties.emplace_back("engine", source.engine);
  if (source.engine == "sqlite") {
    std::string text;
    for (const std::string& column : source.Values("text")) text += (text.empty() ? "" : "\n") + column;
    const std::pair<const char*, std::string> columns[] = {
        {"table", source.Value("table")}, {"title-column", source.Value("title")}, {"text-columns", text},
        {"id-column", source.Value("id")}, {"url-column", source.Value("url")},
        {"category-column", source.Value("category")}};
    for (const auto& [name, value] : columns) {
      if (!value.empty()) target.properties.emplace_back(name, value);
    }
  }
  AskStatistics(o, target);
  return target;
}

std::vector<const PluginReport*> Account(std::vector<PluginReport>& plugins, const Results& results,
                                         const Ranker& ranker) {
  std::set<std::string> answered;
  for (const auto& [domain, count] : results.PerDomain()) answered.insert(domain);
  for (const Failure& f : results.Failures()) answered.insert(f.domain);
  const auto stem = [](const std::string& name) { return std::filesystem::path(name).stem().string(); };
  // The report of the plugin a hit names with its domain; else that
  // plugin's one report when the domain guessed for it from its file name
  // answered nothing (its configuration names another); else by domain.
  auto entry = [&](const std::string& plugin, const std::string& domain) -> size_t {
    size_t guessed = plugins.size(), reports = 0;
    for (size_t i = 0; i < plugins.size(); ++i) {
      if (plugin.empty() || stem(plugins[i].name) != plugin) continue;
      if (plugins[i].domain == domain) return i;
      ++reports;
      guessed = i;
    }
    if (reports == 1 && answered.count(plugins[guessed].domain) == 0) {
      plugins[guessed].domain = domain;
      return guessed;
    }
    for (size_t i = 0; i < plugins.size(); ++i) {
      if (plugins[i].domain == domain) return i;
    }
    plugins.push_back({domain, domain, TESSIK_OK, 0, ""});
    return plugins.size() - 1;
  };
  for (const auto& [key, count] : results.PerPlugin()) plugins[entry(key.first, key.second)].hits += count;
  std::vector<size_t> failed;
  for (const Failure& f : results.Failures()) {
    const size_t at = entry(f.plugin, f.domain);
    plugins[at].status = f.status;
    plugins[at].error = f.error;
    failed.push_back(at);
  }
  for (const std::string& domain : ranker.Fused()) {
    for (PluginReport& p : plugins) {
      if (p.domain == domain) p.fused = true;
    }
  }
  for (PluginReport& p : plugins) p.more = results.Cut().count(p.domain) > 0;
  // Pointers only now: entry() may have grown the vector.
  std::vector<const PluginReport*> failures;
  for (size_t at : failed) failures.push_back(&plugins[at]);
  return failures;
}

std::vector<Row> RowsOf(const std::vector<Ranked>& ranked) {
  std::vector<Row> rows;
  rows.reserve(ranked.size());
  for (const Ranked& r : ranked) rows.push_back(r.row);
  return rows;
}

int32_t RankedList(Ranker& ranker, const SearchOptions& o, std::vector<Ranked>& ranked) {
  ranked = ranker.Best();
  if (o.sort == "score") return TESSIK_OK;
  std::vector<Row> rows = RowsOf(ranked);
  if (const int32_t status = SortByProperty(rows, o.sort); status != TESSIK_OK) return status;
  std::vector<Ranked> sorted;
  for (Row& row : rows) {
    const auto it = std::find_if(ranked.begin(), ranked.end(),
                                 [&](const Ranked& r) { return r.row.domain == row.domain && r.row.id == row.id; });
    sorted.push_back({std::move(row), it != ranked.end() ? it->sources : std::vector<std::pair<std::string, size_t>>{}});
    if (o.limit && sorted.size() == *o.limit) break;
  }
  ranked = std::move(sorted);
  return TESSIK_OK;
}

}  // namespace tessik_cli
