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
// domain is a source rather than a plugin's own; "statistics": what the
// core needs to score every source's hits under one model (below). The
// SQLite engine reads which table of a database to search and which
// columns are what; the text columns are one name a line.
inline constexpr std::array<std::string_view, 10> kDomainProperties = {
    "data",         "limit",     "engine",     "table",           "title-column",
    "text-columns", "id-column", "url-column", "category-column", "statistics"};

// An entry that reports a failure instead of a hit carries "error" (in
// words) and "status" (a status code as decimal text), and score 0.
inline constexpr std::string_view kErrorProperty = "error";
inline constexpr std::string_view kStatusProperty = "status";

// Facts about the whole search ride on the plugin's last hit (see
// tessik/Plugin.h). "more" = "true": the plugin had more matches than it
// returned, its limit cut them.
inline constexpr std::string_view kMoreProperty = "more";

// The end of one domain's answer in an asynchronous search: "answered" =
// "true" on the last entry sent for it (its last hit, else its statistics
// entry), or on an entry of its own with only "domain" when it sent none.
// An error entry ends its domain too. A reader that shows a search as it
// streams can tell which sources are done before the whole search is.
inline constexpr std::string_view kAnsweredProperty = "answered";

// Every hit's 1-based position in its domain's own best-first list, with
// or without statistics.
inline constexpr std::string_view kSourceRankProperty = "source-rank";

// Which plugin answered, on every hit, statistics entry and error entry:
// the plugin's name as the library names it (its file's name without
// folder and extension), so that two copies of one plugin answering under
// one domain can each be credited with their own hits.
inline constexpr std::string_view kPluginProperty = "plugin";

// The statistics of one BM25 over every source (tessik/Plugin.h). The core
// asks by setting the domain's "statistics" property to "bm25"; without it
// none of the following is written.
inline constexpr std::string_view kStatisticsProperty = "statistics";
inline constexpr std::string_view kStatisticsBm25 = "bm25";
// On every hit: the document's length in tokens (title and text, each
// word once; decimal), and "word=count" pairs separated by one space for
// the plan's required terms, in bytewise order of the words (the word
// folded with Fold; the count the occurrences of every form that matched
// the term, in the term's fields).
// "digest" (16 lower-case hex digits, kit/Digest.h) only on hits of an
// index our own indexers made.
inline constexpr std::string_view kLengthProperty = "bm25-length";
inline constexpr std::string_view kTermCountsProperty = "bm25-tf";
inline constexpr std::string_view kDigestProperty = "digest";
// One entry per domain and search besides the hits, score 0, in the first
// results document of the domain, with "domain", "statistics" = "bm25" and
// the documents of the source (decimal), their average length ("%.6g") and
// "word=count" pairs of the documents holding each required term. It is
// no hit: a reader tells it by its "statistics" property, as it tells an
// error entry by "error".
inline constexpr std::string_view kDocumentsProperty = "bm25-documents";
inline constexpr std::string_view kAverageLengthProperty = "bm25-average-length";
inline constexpr std::string_view kDocumentCountsProperty = "bm25-df";
// What every statistics property's name begins with.
inline constexpr std::string_view kStatisticsPrefix = "bm25-";

}  // namespace tessik_plugins

#endif  // TESSIK_PLUGINS_KIT_NAMES_H_
