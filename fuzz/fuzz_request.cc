// A request's query string through the server's translation into a search:
// every input is either refused with a message (a 400) or makes options
// that name no file, no plugin and no domain's data, whose query document
// the library reads back as a valid query.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "search/Core.h"
#include "search/Query.h"
#include "serve/Request.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string query(reinterpret_cast<const char*>(data), size);
  tessik_serve::Params params;
  tessik_serve::SearchRequest request;
  std::string error;
  if (!tessik_serve::ParseParams(query, params, error) ||
      !tessik_serve::ReadSearchRequest(params, {"quotes", "glosses", "manpages"}, request, error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  const tessik_cli::SearchOptions& o = request.options;
  if (!o.domains.empty() || !o.plugins.empty() || !o.config.empty() || !o.queryFile.empty() || o.words.empty())
    std::abort();
  std::vector<tessik_cli::DomainTarget> targets;
  for (const std::string& name : o.sources.empty() ? std::vector<std::string>{"quotes"} : o.sources) {
    targets.push_back({name, "", tessik_cli::SourceLimit(o), {}});
    tessik_cli::AskStatistics(o, targets.back());
  }
  const std::string xml = tessik_cli::QueryXml(tessik_cli::QueryFromOptions(o), targets);
  IQuery* parsed = nullptr;
  if (Tessik_ParseQueryFromXML(tessik_cli::Widen(xml).c_str(), &parsed) != TESSIK_OK || parsed == nullptr)
    std::abort();
  Tessik_ReleaseQuery(parsed);
  return 0;
}
