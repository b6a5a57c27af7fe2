// The names the reference plugins agree on with the programs that read
// their answers: the fields a term may be restricted to and the properties
// every hit carries. The tessik command checks its options against these.
#ifndef TESSIK_PLUGINS_KIT_NAMES_H_
#define TESSIK_PLUGINS_KIT_NAMES_H_

#include <array>
#include <string_view>

namespace tessik_plugins {

// Fields of a term: "title", or the text ("text"; "body" and "content" are
// other names for it). Matched without regard to case.
inline constexpr std::string_view kFieldTitle = "title";
inline constexpr std::array<std::string_view, 3> kFieldText = {"text", "body", "content"};

// Properties of a hit. Every hit has the first four; "category" when its
// document has one. An engine may add its own after them (kit/Results.h).
inline constexpr std::array<std::string_view, 5> kHitProperties = {"domain", "id", "title", "snippet", "category"};

// Properties an engine adds when it knows them of a document: "path" (for
// display), "url", "modified" (ISO 8601), "size" (bytes, decimal) and
// "type" (the MIME type).
inline constexpr std::array<std::string_view, 5> kDocumentProperties = {"path", "url", "modified", "size", "type"};

// Properties of a query's domain element that the plugins read; the search
// core writes them (tessik/Plugin.h). "data": what to open; "limit": hits
// asked for; "engine": the plugin that answers for the domain when the
// domain is a source rather than a plugin's own. The SQLite engine reads
// which table of a database to search and which columns are what; the
// text columns are one name a line.
inline constexpr std::array<std::string_view, 9> kDomainProperties = {
    "data",         "limit",     "engine",    "table",          "title-column", "text-columns",
    "id-column",    "url-column", "category-column"};

// An entry that reports a failure instead of a hit carries "error" (in
// words) and "status" (a status code as decimal text), and score 0.
inline constexpr std::string_view kErrorProperty = "error";
inline constexpr std::string_view kStatusProperty = "status";

// Facts about the whole search ride on the plugin's last hit (see
// tessik/Plugin.h). "more" = "true": the plugin had more matches than it
// returned, its limit cut them.
inline constexpr std::string_view kMoreProperty = "more";

// Statistics for re-scoring hits under one collection model (BM25 over
// every source's sums), written when the domain's "statistics" property is
// "bm25" (tessik/Plugin.h). Per hit: "bm25-length" (the document's words)
// and "bm25-tf" ("word=count" per query word, one space apart). Per domain
// and search, one entry with "statistics" = "bm25": "bm25-documents",
// "bm25-average-length" and "bm25-df" ("word=count": documents holding it).
inline constexpr std::string_view kStatisticsProperty = "statistics";
inline constexpr std::string_view kBm25 = "bm25";
inline constexpr std::string_view kBm25Prefix = "bm25-";
inline constexpr std::string_view kBm25LengthProperty = "bm25-length";
inline constexpr std::string_view kBm25TfProperty = "bm25-tf";
inline constexpr std::string_view kBm25DocumentsProperty = "bm25-documents";
inline constexpr std::string_view kBm25AverageLengthProperty = "bm25-average-length";
inline constexpr std::string_view kBm25DfProperty = "bm25-df";
// Every hit's 1-based rank in its domain's own best-first list.
inline constexpr std::string_view kSourceRankProperty = "source-rank";
// A hash of the document's normalised whole text, where our indexers wrote it.
inline constexpr std::string_view kDigestProperty = "digest";

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_NAMES_H_
