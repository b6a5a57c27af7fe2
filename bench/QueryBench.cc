// Reading a query document: Tessik_ParseQueryFromXML + Tessik_ReleaseQuery of
// a typical 600-byte query, against a bare parse of the same text into a DOM
// with one reused parser (adopting and releasing the document, as a reused
// parser must to stay small).
#include <benchmark/benchmark.h>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <string>

#include "bench/Pairs.h"
#include "query/XMLManager.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"

namespace {

const TessikChar kQuery[] = TESSIK_TEXT(
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
    "<Query synonym=\"true\" stemming=\"false\" case_sensitivity=\"false\">\n"
    "  <Domain><Name>Library</Name><Property name=\"path\">/srv/library/index</Property></Domain>\n"
    "  <Domain><Name>Archive</Name><Property name=\"path\">/srv/archive</Property></Domain>\n"
    "  <Category>Books</Category>\n  <Category>Articles</Category>\n"
    "  <TermGroup compose=\"Or\">\n"
    "    <Term><Text>federated</Text><Field>title</Field></Term>\n"
    "    <Term><Text>search</Text><Field>title</Field></Term>\n"
    "    <Term><Text>client library</Text></Term>\n"
    "    <Term><Text>plugin</Text><Field>keywords</Field></Term>\n"
    "  </TermGroup>\n"
    "</Query>\n");
constexpr size_t kUnits = sizeof(kQuery) / sizeof(TessikChar) - 1;

void ParseQueryFromXml600B_ours(benchmark::State& state) {
  for (auto _ : state) {
    IQuery* query = nullptr;
    if (Tessik_ParseQueryFromXML(kQuery, &query) != TESSIK_OK) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(query);
    Tessik_ReleaseQuery(query);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kUnits * sizeof(TessikChar)));
}

void ParseQueryFromXml600B_floor(benchmark::State& state) {
  (void)Tessik::CXMLManager::Instance();  // the platform is started
  xercesc::XercesDOMParser parser;
  for (auto _ : state) {
    xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(kQuery), kUnits * sizeof(TessikChar), u"bench",
                                      false);
    source.setEncoding(xercesc::XMLUni::fgUTF16LEncodingString);
    parser.parse(source);
    xercesc::DOMDocument* document = parser.adoptDocument();
    benchmark::DoNotOptimize(document);
    document->release();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kUnits * sizeof(TessikChar)));
}

}  // namespace

BENCHMARK(ParseQueryFromXml600B_ours)->Name("ParseQueryFromXml600B/ours");
BENCHMARK(ParseQueryFromXml600B_floor)->Name("ParseQueryFromXml600B/floor");
TESSIK_PAIR_TARGET(ParseQueryFromXml600B, 1.3);
