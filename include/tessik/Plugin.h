// For plugin authors: the five entry points a search plugin exports, and the
// notifier it reports asynchronous results through.
//
// A plugin is a shared library exporting, with C linkage and these exact
// names, "InitSearch", "FinishSearch", "SyncSearch", "AsyncSearch" and
// "AbortAsyncSearch" (the function types below).
//
// Who owns what:
//  - The handle returned by InitSearch is the plugin's; the library only keeps
//    it and hands it back, and never frees it (FinishSearch is the place).
//  - The query pointer and search parameter are the application's, passed
//    through unread; the library does not keep them after the call.
//  - SyncSearch stores its results document in *resultText as a buffer made
//    with Tessik_Allocate, or leaves it null. The library takes that buffer
//    over and frees it with Tessik_Release; the plugin must not touch it again.
//  - Text passed to the notifier stays the plugin's: the library copies what
//    it needs before the call returns.
//  - Each AsyncSearch call must be answered by exactly one end notification
//    (TESSIK_NOTIFY_PLUGIN_ENDED), also after AbortAsyncSearch and also when
//    the search could not start: the session waits for it. A search
//    therefore never ends, and its session can never be closed, while one
//    of its plugins has not reported its end.
//
// Threads:
//  - The entry points are called on the application's threads (and on a
//    session's worker thread when an application callback starts or aborts
//    a search), one at a time across every session of every process on the
//    machine: they run under a machine-wide lock. Return quickly; do the
//    work of an asynchronous search on threads of your own.
//  - The notifier may be called from any thread, also from inside
//    AsyncSearch and AbortAsyncSearch, from the moment AsyncSearch is
//    entered until the plugin has reported that search's end (a further end
//    report is tolerated and counts as another plugin's). Never call it
//    after FinishSearch has returned for the session, or once the library
//    is being unloaded. It takes a short machine-wide lock and never waits
//    for an entry point or the application's callback.
//  - An entry point must not call the library's session functions on the
//    session it serves.
//
// Conventions of the reference plugins (the library itself reads none of
// this; it is how those plugins and the tessik command agree):
//  - A query's domain element addresses a plugin by name, compared without
//    regard to case; a query that names no domain addresses every plugin.
//    A domain element with an "engine" property addresses instead the
//    plugin of that name (the library's base file name): a source of
//    documents over that engine, whose name the hits then carry. One plugin
//    answers for every such domain of a query, each with its own data and
//    limit; one that fails is an error entry of its own.
//  - The domain's "data" property names the documents the plugin opens: a
//    folder index, a database, any path. An application must never let
//    untrusted text set it; the tessik command refuses a query file that
//    does, and writes every property of a domain itself, from its command
//    line and its list of sources.
//  - The domain's "limit" property asks for at most that many hits. A
//    plugin's configuration file gives "limit", the default when a query
//    names none, and "max", the cap no query can lift.
//  - Facts about a whole search ride on the plugin's last hit (in an
//    asynchronous search, the last hit of its last batch) as properties:
//    "more" = "true" says the plugin had more matches than it returned.
//  - In an asynchronous search, "answered" = "true" on the last entry a
//    plugin sends for a domain (its last hit, else its statistics entry)
//    says that domain's answer is complete, before the whole search is; a
//    domain with nothing to send gets an entry of its own, score 0, with
//    only "domain" and "answered", which is no hit. An error entry ends
//    its domain too. A server that streams a search uses it to show which
//    sources are done.
//  - Every hit carries "source-rank": its 1-based position in its domain's
//    own best-first list.
//  - Every hit, statistics entry and error entry carries "plugin": the
//    name of the plugin that wrote it as the library names plugins (the
//    file name of its library without folder and extension, "quotes" for
//    Plugins/quotes.so). Two copies of one plugin may answer under one
//    domain; applications credit each entry to the plugin it names.
//  - Statistics for one ranking over every source. A search core that
//    re-scores every source's hits under one BM25 model, with the
//    statistics summed over the sources, asks a domain for what that needs
//    by its property "statistics" = "bm25"; without it none of this is
//    written. A plugin that can count then writes, on every hit of the
//    domain:
//      "bm25-length"  the document's length in tokens (decimal): the words
//                     of its title and text, each counted once (no extra
//                     count for fields, stems or prefixes);
//      "bm25-tf"      "word=count" pairs separated by one space, one per
//                     distinct word of the terms a hit needs (not the
//                     excluded ones), in bytewise order of the words: the
//                     word in lower case (the key the core sums by, so the
//                     same text from every plugin) and its occurrences in
//                     the document, in the fields the term names (title and
//                     text when it names none), every form that matched it
//                     (stems, synonyms) counted, each word of the document
//                     once; pairs with count 0 may be left out;
//      "digest"       when the plugin's own indexer made the index: 16
//                     lower-case hexadecimal digits, a 64-bit hash of the
//                     document's normalised text (title and text, folded,
//                     words joined by one space), equal for equal texts;
//    and, once per search and domain, also when it has no hit, ONE entry
//    besides its hits, in the first results document it sends for the
//    domain (in an asynchronous search the first batch, with or before its
//    first hits): score 0, "domain", "statistics" = "bm25",
//    "bm25-documents" (the documents of the source, decimal),
//    "bm25-average-length" (the average "bm25-length" over the source,
//    "%.6g") and "bm25-df" (pairs as "bm25-tf", each the documents of the
//    source holding the term in any matching form). That entry is no hit:
//    applications tell it by its "statistics" property, as they tell an
//    error entry by "error", and leave it out wherever they count or show
//    hits. A plugin that cannot count writes neither.
#ifndef TESSIK_PLUGIN_H_
#define TESSIK_PLUGIN_H_

#include <stdint.h>

#include "tessik/TessikClient.h"

extern "C" {

// The library's notifier. `code` is TESSIK_NOTIFY_PLUGIN_RESULTS with a
// results document in `text`, or TESSIK_NOTIFY_PLUGIN_ENDED (or _ENDED_ALT)
// with `text` null; `sessionId` is the one InitSearch received.
typedef void (*PluginNotify)(uint32_t sessionId, int32_t code, const TessikChar* text);

typedef void* (*PluginInitSearch)(uint32_t sessionId);
typedef int32_t (*PluginFinishSearch)(void* handle);  // result ignored
typedef int32_t (*PluginSyncSearch)(void* handle, const void* query, TessikChar** resultText, uint32_t searchParam);
typedef int32_t (*PluginAsyncSearch)(void* handle, const void* query, PluginNotify notify, uint32_t searchParam,
                                     uint32_t asyncParam);
typedef int32_t (*PluginAbortAsyncSearch)(void* handle);  // result ignored

}  // extern "C"

#endif  // TESSIK_PLUGIN_H_
