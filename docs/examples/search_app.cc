// A complete application: one session, one plugin, a synchronous and an
// asynchronous search over one query, and every object given back. It
// shows what an application owes the library (docs/threads-and-ownership.md):
//  - every buffer the library hands out goes back through Tessik_Release,
//    every object through its release function;
//  - the callback runs on the session's worker thread, so what it hands to
//    the application's own threads goes through a lock;
//  - the query stays alive until the asynchronous search has sent its final
//    notification, and the session is closed only when no other call on it
//    is in progress.
//
//   search_app PLUGIN        prints the hits each search found
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "tessik/Hits.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"

namespace {

using Text = std::basic_string<TessikChar>;

const TessikChar kQuery[] = TESSIK_TEXT(
    "<Query><TermGroup compose=\"Or\">"
    "<Term><Text>federated</Text></Term><Term><Text>search</Text></Term>"
    "</TermGroup></Query>");

// UTF-16 to UTF-8, for printing.
std::string Utf8(const TessikChar* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) {
    char32_t c = static_cast<char16_t>(*text);
    if (c >= 0xD800 && c < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(*++text) - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

// The titles of the hits of a results document, in document order.
std::vector<std::string> Titles(const TessikChar* results) {
  std::vector<std::string> titles;
  IHitList* list = nullptr;
  if (Tessik_ConvertXMLToHitList(results, &list) != TESSIK_OK) return titles;
  CHitSelector all;
  for (IHit* hit = list->GetNextHit(true, all); hit != nullptr; hit = list->GetNextHit(false, all)) {
    titles.push_back(Utf8(hit->GetProperty(TESSIK_TEXT("title"))));  // copied: the text is the hit's
  }
  Tessik_ReleaseHitList(list);  // and with it its hits
  return titles;
}

// What the callback hands over to the main thread.
struct Delivered {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::string> titles;  // guarded by lock
  bool ended = false;               // guarded by lock
} delivered;

// Runs on the session's worker thread. It owns `text` and frees it.
void OnResults(uint32_t, int32_t code, TessikChar* text) {
  std::vector<std::string> titles;
  if (code == TESSIK_NOTIFY_RESULTS) {
    titles = Titles(text);
    Tessik_Release(text);
  }
  std::lock_guard<std::mutex> hold(delivered.lock);
  delivered.titles.insert(delivered.titles.end(), titles.begin(), titles.end());
  if (code != TESSIK_NOTIFY_RESULTS) delivered.ended = true;  // the final notification
  delivered.changed.notify_all();
}

int Fail(const char* what, int32_t status) {
  std::fprintf(stderr, "search_app: %s failed: %d\n", what, static_cast<int>(status));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: search_app PLUGIN\n");
    return 2;
  }
  // The path in the boundary's UTF-16, from the system's own encoding.
  std::filesystem::path pluginPath(argv[1]);
  std::u16string path16 = pluginPath.u16string();
  Text plugin(path16.begin(), path16.end());

  uint32_t session = 0;
  int32_t status = Tessik_OpenSession(TESSIK_TEXT("example"), &session);
  if (status != TESSIK_OK) return Fail("Tessik_OpenSession", status);
  if ((status = Tessik_LoadPluginByPath(session, plugin.c_str())) != TESSIK_OK) return Fail("loading", status);
  if ((status = Tessik_InitSearch(session)) != TESSIK_OK) return Fail("Tessik_InitSearch", status);

  IQuery* query = nullptr;
  if ((status = Tessik_ParseQueryFromXML(kQuery, &query)) != TESSIK_OK) return Fail("the query", status);

  // Synchronous: one merged results document, ours to free.
  TessikChar* results = nullptr;
  if ((status = Tessik_SyncSearch(session, query, &results, 0)) != TESSIK_OK) return Fail("Tessik_SyncSearch", status);
  std::vector<std::string> titles = Titles(results);
  Tessik_Release(results);
  std::printf("sync: %zu hits\n", titles.size());
  for (const std::string& title : titles) std::printf("  %s\n", title.c_str());

  // Asynchronous: batches reach OnResults every 10 ms, then the final notification.
  if ((status = Tessik_AsyncSearch(session, query, OnResults, 0, 10)) != TESSIK_OK) {
    return Fail("Tessik_AsyncSearch", status);
  }
  {
    std::unique_lock<std::mutex> hold(delivered.lock);
    if (!delivered.changed.wait_for(hold, std::chrono::seconds(30), [] { return delivered.ended; })) {
      std::fprintf(stderr, "search_app: no final notification within 30 s\n");
      return 1;
    }
    std::printf("async: %zu hits\n", delivered.titles.size());
    for (const std::string& title : delivered.titles) std::printf("  %s\n", title.c_str());
  }

  // The search has ended: the query may go, then the session.
  Tessik_ReleaseQuery(query);
  if ((status = Tessik_CloseSession(session)) != TESSIK_OK) return Fail("Tessik_CloseSession", status);
  std::printf("closed\n");
  return 0;
}
