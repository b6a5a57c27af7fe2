#include "search/Core.h"

#include <algorithm>

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
  auto entry = [&](const std::string& domain) -> PluginReport& {
    for (PluginReport& p : plugins) {
      if (p.domain == domain) return p;
    }
    plugins.push_back({domain, domain, TESSIK_OK, 0, ""});
    return plugins.back();
  };
  for (const auto& [domain, count] : results.PerDomain()) entry(domain).hits = count;
  std::vector<std::string> failed;
  for (const Failure& f : results.Failures()) {
    PluginReport& p = entry(f.domain);
    p.status = f.status;
    p.error = f.error;
    failed.push_back(f.domain);
  }
  for (const std::string& domain : ranker.Fused()) {
    for (PluginReport& p : plugins) {
      if (p.domain == domain) p.fused = true;
    }
  }
  for (PluginReport& p : plugins) p.more = results.Cut().count(p.domain) > 0;
  // Pointers only now: entry() may have grown the vector.
  std::vector<const PluginReport*> failures;
  for (const PluginReport& p : plugins) {
    if (std::find(failed.begin(), failed.end(), p.domain) != failed.end()) failures.push_back(&p);
  }
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
