// TessikClient: the search client library's whole public interface.
//
// An application opens sessions, loads search plugins into them and runs
// synchronous or asynchronous searches whose results come back as one merged
// results document. Beside the search path the library offers query, hit and
// hit-list objects and synonym and stem look-ups.
//
// Ownership at the boundary, once for every function below:
//  - Texts the library hands out (results, hit-list XML) are buffers made by
//    Tessik_Allocate. The receiver owns them and frees them with
//    Tessik_Release.
//  - Objects the library hands out (queries, hits, hit lists) belong to the
//    receiver until given back to their release function.
//  - Texts passed in are only read during the call, unless a function says
//    otherwise.
//  - No exception ever leaves a function of this header; failures are status
//    codes (TESSIK_E_*), or a null pointer where a function returns one.
//
// Threads:
//  - Every function may be called from any thread. Calls on different
//    sessions may run at once; so may calls on one session, except that
//    Tessik_CloseSession must be the last: call it only when no other call
//    on that session is in progress.
//  - Search operations (plugin loads, Tessik_InitSearch, Tessik_SyncSearch,
//    Tessik_AsyncSearch, Tessik_AbortAsyncSearch, closing, and every call
//    into a plugin) serialise on locks that are machine-wide: they take
//    turns across every session of every process on the machine that uses
//    the library. A plugin that blocks inside an entry point blocks them all.
//  - Tessik_SyncSearch, Tessik_AbortAsyncSearch and Tessik_CloseSession wait
//    for a running asynchronous search of their session to end.
//  - The SearchCallback runs on the session's worker thread, never on the
//    thread that started the search, and holds none of the library's locks:
//    it may call any function on any other session. On its own session it
//    may call Tessik_AbortAsyncSearch (the plugins are asked to stop; it
//    returns at once, and the final notification follows once the callback
//    has returned), Tessik_InitSearch and the plugin loads. Tessik_SyncSearch
//    and Tessik_CloseSession on its own session return
//    TESSIK_E_SEARCH_RUNNING at once, as Tessik_AsyncSearch does: they would
//    wait for the search the callback belongs to. Callbacks of one search
//    never overlap, every results delivery comes before the final
//    notification, and the session accepts a new search once the final
//    callback has returned (from another thread that is not itself in a
//    callback, Tessik_AsyncSearch waits for a final callback in progress
//    instead of refusing). Two callbacks must not wait for each other's
//    searches (say, each calling Tessik_SyncSearch on the other's session):
//    neither search could end.
//  - When the library is unloaded (the process exits, say) with searches
//    still running, each is aborted and waited for, then its session is
//    closed without its plugins' FinishSearch. On Windows the system has
//    ended every other thread by then, so no final notification comes.

#ifndef TESSIK_TESSIKCLIENT_H_
#define TESSIK_TESSIKCLIENT_H_

#include <stdint.h>

#include "tessik/Char.h"
#include "tessik/Export.h"

#define TESSIK_VERSION_MAJOR 0
#define TESSIK_VERSION_MINOR 1
#define TESSIK_VERSION_PATCH 0
#define TESSIK_VERSION_STRING "0.1.0"

// Status codes. 0 is success; every failure is negative. Notification codes
// travel through the asynchronous search callback and the plugin notifier.
enum TessikStatus : int32_t {
  TESSIK_OK = 0,
  // XML text that cannot be parsed, or has no root element.
  TESSIK_E_XML_INVALID = -307049,
  // A plugin library lacks one of the five entry points.
  TESSIK_E_PLUGIN_ENTRY_MISSING = -307147,
  // A plugin library cannot be loaded.
  TESSIK_E_PLUGIN_LOAD_FAILED = -307149,
  // The word library is not initialised, or the word is empty.
  TESSIK_E_WORDLIB_UNAVAILABLE = -307196,
  // From a plugin: its asynchronous search has ended (either code).
  TESSIK_NOTIFY_PLUGIN_ENDED = -307349,
  TESSIK_NOTIFY_PLUGIN_ENDED_ALT = -307347,
  // From a plugin: a results document.
  TESSIK_NOTIFY_PLUGIN_RESULTS = -307348,
  // To the application: final notification, nothing was delivered.
  TESSIK_NOTIFY_ENDED_EMPTY = -307397,
  // To the application: merged results since the previous delivery.
  TESSIK_NOTIFY_RESULTS = -307398,
  // Tessik_Allocate with a count of 0.
  TESSIK_E_ZERO_COUNT = -307488,
  // A required pointer argument is null.
  TESSIK_E_NULL_ARGUMENT = -307489,
  // The session registry is full.
  TESSIK_E_REGISTRY_FULL = -307491,
  // Session identifier 0, or one that is not open.
  TESSIK_E_NO_SESSION = -307492,
  // An asynchronous search of the session is already running.
  TESSIK_E_SEARCH_RUNNING = -307493,
  // Memory ran out.
  TESSIK_E_OUT_OF_MEMORY = -307496,
  // Any other failure: a null out pointer to Tessik_OpenSession, a session
  // without a search manager, an XML writer failure, a system failure inside
  // the library, or a function not available in this build.
  TESSIK_E_FAILED = -307499,
};

// The application's asynchronous search callback. `text` is a results
// document the callback owns (free it with Tessik_Release) for
// TESSIK_NOTIFY_RESULTS, and null for the final notification.
typedef void (*SearchCallback)(uint32_t sessionId, int32_t code, TessikChar* text);

// Objects that cross the boundary. Each is destroyed only by the library's
// release functions; each has its virtual destructor first, so any of the
// three release names destroys any of them.
class IQuery;
class IHit;
class IHitList;
// Opaque word list of the synonym and stem look-ups.
typedef void* TessikWordList;

extern "C" {

// --- Sessions and searches ---------------------------------------------------

// Opens a session. `name` may be null (empty). On success *outId holds the
// new identifier (1, 2, 3, ... in order of opening).
TESSIK_API int32_t Tessik_OpenSession(const TessikChar* name, uint32_t* outId);
// Waits for the session's asynchronous search, finishes its plugins and
// closes it. Call only when no other call on the session is in progress.
TESSIK_API int32_t Tessik_CloseSession(uint32_t sessionId);
// Loads the plugin of a domain from the relative path "Plugins/<domain>".
TESSIK_API int32_t Tessik_LoadPluginByDomain(uint32_t sessionId, const TessikChar* domain);
// Loads the plugin library at `path`.
TESSIK_API int32_t Tessik_LoadPluginByPath(uint32_t sessionId, const TessikChar* path);
// Initialises every plugin of the session.
TESSIK_API int32_t Tessik_InitSearch(uint32_t sessionId);
// Runs every plugin on `query` (passed through unread) and returns the merged
// results in *outResults, a buffer the caller frees with Tessik_Release.
TESSIK_API int32_t Tessik_SyncSearch(uint32_t sessionId, const void* query, TessikChar** outResults,
                                     uint32_t searchParam);
// Starts every plugin on `query` and returns at once; merged results reach
// `callback` on the session's worker thread once per poll interval, then one
// final notification.
TESSIK_API int32_t Tessik_AsyncSearch(uint32_t sessionId, const void* query, SearchCallback callback,
                                      uint32_t searchParam, uint32_t pollIntervalMs);
// Aborts the session's asynchronous search; returns once it has ended (from
// the session's own callback: at once, see Threads).
TESSIK_API int32_t Tessik_AbortAsyncSearch(uint32_t sessionId);

// --- Memory at the boundary --------------------------------------------------

// Allocates `count` zero-filled UTF-16 units into *outBuffer. The caller owns
// the buffer and frees it with Tessik_Release.
TESSIK_API int32_t Tessik_Allocate(TessikChar** outBuffer, uint32_t count);
// Frees a buffer of Tessik_Allocate (null is accepted). Always 0.
TESSIK_API int32_t Tessik_Release(TessikChar* buffer);

// --- Queries -----------------------------------------------------------------

// Reads a query document. On success the caller owns *outQuery and gives it
// back with Tessik_ReleaseQuery.
TESSIK_API int32_t Tessik_ParseQueryFromXML(const TessikChar* xml, IQuery** outQuery);
// Reads nothing and does nothing. Always 0.
TESSIK_API int32_t Tessik_ParseQueryFromText();
// Destroys a query, hit or hit list (null is accepted). Always 0.
TESSIK_API int32_t Tessik_ReleaseQuery(IQuery* query);

// --- Hits and hit lists ------------------------------------------------------

// A new hit or hit list owned by the caller; null when memory runs out.
TESSIK_API IHit* Tessik_NewHit();
TESSIK_API IHitList* Tessik_NewHitList();
// The same function as Tessik_ReleaseQuery under other names. Always 0.
TESSIK_API int32_t Tessik_ReleaseHit(IHit* hit);
TESSIK_API int32_t Tessik_ReleaseHitList(IHitList* hitList);
// Writes a hit list as a results document into *outXml, a buffer the caller
// frees with Tessik_Release.
TESSIK_API int32_t Tessik_ConvertHitListToXML(IHitList* hitList, TessikChar** outXml);
// Reads a results document into a new hit list owned by the caller.
TESSIK_API int32_t Tessik_ConvertXMLToHitList(const TessikChar* xml, IHitList** outHitList);

// --- Words -------------------------------------------------------------------

// Look up synonyms or stems of `word`; the caller gives the list back with
// Tessik_ReleaseWordList.
TESSIK_API int32_t Tessik_GetSynonym(const TessikChar* word, TessikWordList* outList);
TESSIK_API int32_t Tessik_GetStemming(const TessikChar* word, TessikWordList* outList);
TESSIK_API int32_t Tessik_ReleaseWordList(TessikWordList list);

}  // extern "C"

#endif  // TESSIK_TESSIKCLIENT_H_
