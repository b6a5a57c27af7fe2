// About a minute of everything at once, through the shipped library: 64
// sessions over the test plugins; 8 application threads mixing synchronous
// and asynchronous searches, aborts (some from inside callbacks), callbacks
// that search other sessions, plugin loads, sessions closed and opened,
// query reading and hit-list conversion; 8 plugin threads per asynchronous
// search reporting numbered hits.
//
// It fails when nothing progresses for 10 s (printing every thread's
// stack), when a search delivers a hit twice or loses one, when resident
// memory at the end exceeds its value after the first 10 s by more than
// 10%, or when a descriptor, a thread, a mapping or (in a private /dev/shm)
// a shared-memory name is left behind.
//
//   load_test [SECONDS]
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tessik/Hits.h"
#include "tessik/Query.h"
#include "tessik/TessikClient.h"
#include "tests/common/Processes.h"
#include "tests/common/TestText.h"
#include "tests/search/TestProtocol.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testplugin::TestQuery;

constexpr int kSessions = 64;
constexpr int kAppThreads = 8;
constexpr int kHitsPerReporter = 40;  // 8 reporting threads per search
constexpr size_t kHitsPerSearch = 8 * kHitsPerReporter;

std::atomic<long> gProgress{0};  // operations finished, by every thread
std::atomic<int> gFailures{0};
std::atomic<bool> gStop{false};

void Fail(const std::string& what) {
  std::fprintf(stderr, "load: %s\n", what.c_str());
  std::fflush(stderr);
  if (++gFailures >= 20) _exit(1);  // enough to go on
}
void Check(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}
void Expect(int32_t status, const std::string& what) {
  if (status != TESSIK_OK) Fail(what + ": status " + std::to_string(status));
}

std::mt19937& Random() {
  thread_local std::mt19937 random(std::random_device{}());
  return random;
}
unsigned Pick(unsigned n) { return static_cast<unsigned>(Random()() % n); }

// The values of every id="..." attribute of a results document.
std::vector<TString> HitIds(const TString& text) {
  std::vector<TString> ids;
  const TString open = TX("id=\"");
  for (size_t at = text.find(open); at != TString::npos; at = text.find(open, at)) {
    at += open.size();
    size_t end = text.find(TX('"'), at);
    ids.push_back(text.substr(at, end - at));
  }
  return ids;
}

// --- Sessions ----------------------------------------------------------------

struct Slot {
  std::mutex busy;     // held by whoever calls an export on the session
  uint32_t id = 0;     // guarded by busy; 0: no session
  bool gamma = false;  // guarded by busy; Gamma loaded too
};
Slot gSlots[kSessions];

void Open(Slot& slot) {
  Expect(Tessik_OpenSession(TX("load"), &slot.id), "open session");
  Expect(Tessik_LoadPluginByDomain(slot.id, TX("Alpha")), "load Alpha");
  Expect(Tessik_LoadPluginByDomain(slot.id, TX("beta")), "load beta");
  Expect(Tessik_InitSearch(slot.id), "init search");
  slot.gamma = false;
}
void Close(Slot& slot) {
  Expect(Tessik_CloseSession(slot.id), "close session");
  slot.id = 0;
}

std::atomic<unsigned> gSearchNumber{0};

// Each plugin's document names the search and the plugin, and the merged
// document must hold each exactly once.
void SyncSearch(Slot& slot) {
  std::vector<TString> documents;
  TString tag = T("s" + std::to_string(++gSearchNumber) + ".");
  TestQuery q;
  for (int p = 0; p < 3; ++p) {
    documents.push_back(TX("<Results><Result id=\"") + tag + T(std::to_string(p)) + TX("\"/></Results>"));
    q.documents[p] = documents.back().c_str();
  }
  TessikChar* out = nullptr;
  Expect(Tessik_SyncSearch(slot.id, &q, &out, 0), "sync search");
  std::vector<TString> ids = HitIds(out ? out : TX(""));
  Tessik_Release(out);
  std::set<TString> distinct(ids.begin(), ids.end());
  size_t plugins = slot.gamma ? 3 : 2;
  Check(ids.size() == plugins && distinct.size() == plugins,
        "sync search merged " + std::to_string(ids.size()) + " documents of " + std::to_string(plugins));
}

// --- Asynchronous searches and their callbacks --------------------------------

struct Search {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<TString> ids;      // guarded by mutex
  bool ended = false;            // guarded by mutex
  bool abortInCallback = false;  // written before the search starts
  bool aborted = false;          // the worker's alone
};
std::mutex gSearchesMutex;
std::map<uint32_t, Search*> gSearches;  // guarded by gSearchesMutex

// From a callback: a synchronous search on some other session that nobody
// else is using just now. Never waits for a session: that could be the
// thread waiting for this very callback's search.
void SearchAnother(uint32_t self) {
  Slot& other = gSlots[Pick(kSessions)];
  std::unique_lock<std::mutex> hold(other.busy, std::try_to_lock);
  if (!hold.owns_lock() || other.id == 0 || other.id == self) return;
  SyncSearch(other);
}

void Callback(uint32_t session, int32_t code, TessikChar* text) {
  Search* search;
  {
    std::lock_guard<std::mutex> hold(gSearchesMutex);
    auto found = gSearches.find(session);
    search = found == gSearches.end() ? nullptr : found->second;
  }
  std::vector<TString> ids = HitIds(text ? text : TX(""));
  Tessik_Release(text);
  if (search == nullptr) return Fail("a callback for session " + std::to_string(session) + " with no search");
  if (code == TESSIK_NOTIFY_RESULTS) {
    {
      std::lock_guard<std::mutex> hold(search->mutex);
      search->ids.insert(search->ids.end(), ids.begin(), ids.end());
    }
    if (search->abortInCallback && !search->aborted) {
      search->aborted = true;
      Expect(Tessik_AbortAsyncSearch(session), "abort from the callback");
    }
    if (Pick(4) == 0) SearchAnother(session);
  } else {
    std::lock_guard<std::mutex> hold(search->mutex);
    search->ended = true;
    search->changed.notify_all();
  }
  ++gProgress;
}

enum class Abort { kNone, kFromCaller, kFromCallback };

// Alpha's eight threads report numbered one-hit documents; the others end at
// once. Every hit is delivered exactly once, aborted or not (an abort waits
// for the plugin's reporting threads).
void AsyncSearch(Slot& slot, Abort abort) {
  Search search;
  search.abortInCallback = abort == Abort::kFromCallback;
  {
    std::lock_guard<std::mutex> hold(gSearchesMutex);
    gSearches[slot.id] = &search;
  }
  TestQuery q{.asyncMode = {testplugin::kStress, testplugin::kInsideCall, testplugin::kInsideCall},
              .asyncDocs = kHitsPerReporter};
  int32_t status = Tessik_AsyncSearch(slot.id, &q, &Callback, 0, 1 + Pick(3));
  Expect(status, "async search");
  if (status == TESSIK_OK) {
    if (abort == Abort::kFromCaller) {
      std::this_thread::sleep_for(std::chrono::microseconds(Pick(3000)));
      Expect(Tessik_AbortAsyncSearch(slot.id), "abort");
    }
    std::unique_lock<std::mutex> hold(search.mutex);
    if (!search.changed.wait_for(hold, 30s, [&] { return search.ended; })) {
      hold.unlock();
      PrintStacks(getpid());
      Fail("no final notification within 30 s");
      _exit(1);
    }
    std::set<TString> distinct(search.ids.begin(), search.ids.end());
    Check(search.ids.size() == kHitsPerSearch && distinct.size() == kHitsPerSearch,
          "async search delivered " + std::to_string(search.ids.size()) + " hits, " + std::to_string(distinct.size()) +
              " distinct, of " + std::to_string(kHitsPerSearch));
  }
  std::lock_guard<std::mutex> hold(gSearchesMutex);
  gSearches.erase(slot.id);
}

// --- Queries and hit lists ------------------------------------------------------

void ReadQuery() {
  IQuery* query = nullptr;
  Expect(Tessik_ParseQueryFromXML(TX("<q synonym='true'><Domain><Name>web</Name><Property name='k'>v</Property>"
                                     "</Domain><Category>c1</Category><TermGroup compose='Or'><Term><Text>one</Text>"
                                     "<Field>title</Field></Term><Term><Text>two</Text></Term></TermGroup></q>"),
                                  &query),
         "parse query");
  if (query == nullptr) return;
  int seen = 0;
  for (IDomain* d = query->GetDomain(true); d != nullptr; d = query->GetDomain(false)) {
    seen += d->GetName() != nullptr && d->GetProperty(TX("k")) != nullptr;
  }
  for (const TessikChar* c = query->GetCategory(true); c != nullptr; c = query->GetCategory(false)) ++seen;
  if (ITermGroup* group = query->GetTermGroup()) {
    for (ITerm* t = group->GetTerm(true); t != nullptr; t = group->GetTerm(false)) seen += t->GetText() != nullptr;
  }
  Check(seen == 4 && query->UseSynonym(), "query walk found " + std::to_string(seen) + " of 4 parts");
  Tessik_ReleaseQuery(query);
}

void ConvertHitList() {
  const TessikChar* doc =
      TX("<Results><Result norm_score='1'><Property name='t'>a</Property></Result>"
         "<Result norm_score='2'><Property name='t'>b</Property></Result>"
         "<Result raw_score='3'><Property name='t'>c</Property></Result></Results>");
  IHitList* first = nullptr;
  IHitList* second = nullptr;
  TessikChar* xml = nullptr;
  Expect(Tessik_ConvertXMLToHitList(doc, &first), "read hit list");
  if (first == nullptr) return;
  Check(first->GetCount() == 3, "hit list read lost hits");
  Expect(Tessik_ConvertHitListToXML(first, &xml), "write hit list");
  Expect(Tessik_ConvertXMLToHitList(xml, &second), "read hit list back");
  Check(second != nullptr && second->GetCount() == 3, "hit list round trip lost hits");
  Tessik_Release(xml);
  Tessik_ReleaseHitList(first);
  Tessik_ReleaseHitList(second);
}

// --- The run ------------------------------------------------------------------

void Application() {
  while (!gStop) {
    Slot& slot = gSlots[Pick(kSessions)];
    std::unique_lock<std::mutex> hold(slot.busy, std::try_to_lock);
    if (!hold.owns_lock()) continue;
    unsigned action = Pick(100);
    if (slot.id == 0) {
      Open(slot);
    } else if (action < 22) {
      SyncSearch(slot);
    } else if (action < 44) {
      AsyncSearch(slot, Abort::kNone);
    } else if (action < 52) {
      AsyncSearch(slot, Abort::kFromCaller);
    } else if (action < 60) {
      AsyncSearch(slot, Abort::kFromCallback);
    } else if (action < 68) {
      if (!slot.gamma) Expect(Tessik_LoadPluginByDomain(slot.id, TX("Gamma")), "load Gamma");
      Expect(Tessik_InitSearch(slot.id), "init search again");
      slot.gamma = true;
    } else if (action < 76) {
      Close(slot);
      Open(slot);
    } else if (action < 88) {
      ReadQuery();
    } else {
      ConvertHitList();
    }
    ++gProgress;
  }
}

long ResidentKiB() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}
size_t Entries(const char* dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}
size_t SharedMappings() {
  std::ifstream maps("/proc/self/maps");
  size_t n = 0;
  for (std::string line; std::getline(maps, line);) n += line.find("/dev/shm/tessik.") != std::string::npos;
  return n;
}

int Run(int seconds) {
  // Once, so what stays for the process's life (the registry's lock, the
  // plugin library cache) is there before the counts are taken.
  {
    Slot warm;
    Open(warm);
    SyncSearch(warm);
    AsyncSearch(warm, Abort::kNone);
    ConvertHitList();
    ReadQuery();
    Close(warm);
  }
  std::thread watchdog([] {
    long last = gProgress;
    auto since = Clock::now();
    while (!gStop) {
      std::this_thread::sleep_for(200ms);
      if (long now = gProgress; now != last) {
        last = now, since = Clock::now();
      } else if (Clock::now() - since > 10s) {
        std::fprintf(stderr, "load: nothing progressed for 10 s\n");
        PrintStacks(getpid());
        _exit(1);
      }
    }
  });
  size_t descriptors = Entries("/proc/self/fd"), threads = Entries("/proc/self/task"), mappings = SharedMappings();

  auto start = Clock::now();
  std::vector<std::thread> applications;
  for (int i = 0; i < kAppThreads; ++i) applications.emplace_back(Application);
  std::this_thread::sleep_until(start + std::chrono::seconds(std::min(seconds, 10)));
  long residentAt10 = ResidentKiB();
  std::this_thread::sleep_until(start + std::chrono::seconds(seconds));
  long operations = gProgress;
  long residentAtEnd = ResidentKiB();
  gStop = true;
  for (auto& t : applications) t.join();
  watchdog.join();
  for (Slot& slot : gSlots) {
    if (slot.id != 0) Close(slot);
  }
  std::printf("load: %ld operations in %d s; resident memory %ld KiB after 10 s, %ld KiB at the end (%+.1f%%)\n",
              operations, seconds, residentAt10, residentAtEnd, 100.0 * (residentAtEnd - residentAt10) / residentAt10);
  Check(residentAtEnd <= residentAt10 + residentAt10 / 10, "resident memory grew by more than 10%");
  Check(Entries("/proc/self/fd") == descriptors, "descriptors left open");
  Check(Entries("/proc/self/task") == threads - 1, "threads left running");  // the watchdog is gone
  Check(SharedMappings() == mappings, "shared-memory objects left mapped");
  std::fflush(stdout);
  return gFailures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  // In a private /dev/shm the names the run made can be counted once it has
  // ended: none may be left.
  bool counted = PrivateShm();
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) std::exit(Run(seconds));  // a normal exit: the library's teardown runs
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "load: the run failed, status %d\n", status);
    return 1;
  }
  if (!counted) {
    std::printf("load: no private /dev/shm here; names left behind are not counted\n");
    return 0;
  }
  int left = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
    std::fprintf(stderr, "load: left behind: %s\n", entry.path().c_str());
    ++left;
  }
  return left == 0 ? 0 : 1;
}
