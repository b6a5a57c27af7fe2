// Processes that share the library's machine-wide locks and event while
// some of them are killed. Not a GoogleTest program: it forks and execs
// itself in several roles.
//
//   fault_processes kills [ROUNDS]   workers search, read and write hit lists
//                                    side by side; ROUNDS times one of them is
//                                    killed with SIGKILL at a random moment and
//                                    replaced. Every survivor must go on within
//                                    10 s (else its threads' stacks are printed)
//                                    and exit cleanly at the end.
//   fault_processes bad-objects      in a private /dev/shm: the library's own
//                                    names left behind by a killed process, cut
//                                    short, grown, or filled with someone else's
//                                    bytes; each open recovers or fails clearly.
//   fault_processes worker FD STOPFD the workload; one byte to FD per round
//   fault_processes once             one round of the workload; 0 when it ran,
//                                    3 when the library refused (TESSIK_E_FAILED),
//                                    4 for any other status
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "tessik/Hits.h"
#include "tessik/TessikClient.h"
#include "tests/common/Processes.h"
#include "tests/common/TestText.h"
#include "tests/search/TestProtocol.h"

namespace {

using Clock = std::chrono::steady_clock;

const TessikChar* const kDocA =
    TX("<Results><Result norm_score='1'><Property name='t'>a</Property></Result></Results>");
const TessikChar* const kDocB =
    TX("<Results><Result norm_score='2'><Property name='t'>b</Property></Result></Results>");

constexpr int kRefused = 3;  // exit status of `once` when the library refused cleanly

[[noreturn]] void Die(const char* what, int32_t status) {
  std::fprintf(stderr, "process %d: %s: status %d\n", static_cast<int>(getpid()), what, static_cast<int>(status));
  std::fflush(stderr);
  _exit(1);
}

std::mutex gMutex;
std::condition_variable gChanged;
int gFinals = 0;  // guarded by gMutex
void Callback(uint32_t, int32_t code, TessikChar* text) {
  Tessik_Release(text);
  if (code == TESSIK_NOTIFY_RESULTS) return;
  std::lock_guard<std::mutex> hold(gMutex);
  ++gFinals;
  gChanged.notify_all();
}

// One round: a session with two plugins searching both ways, and a hit
// list read and written. Returns the first status that was not TESSIK_OK
// when `tolerateRefusal` (the bad-object runs), else ends the process.
int32_t Round(bool tolerateRefusal) {
  auto check = [&](int32_t status, const char* what) {
    if (status != TESSIK_OK && !tolerateRefusal) Die(what, status);
    return status;
  };
  uint32_t id = 0;
  if (int32_t s = check(Tessik_OpenSession(TX("fault"), &id), "open session")) return s;
  int32_t result = TESSIK_OK;
  auto run = [&]() -> int32_t {
    for (const TessikChar* domain : {TX("Alpha"), TX("beta")}) {
      if (int32_t s = check(Tessik_LoadPluginByDomain(id, domain), "load plugin")) return s;
    }
    if (int32_t s = check(Tessik_InitSearch(id), "init search")) return s;
    testplugin::TestQuery q;
    q.documents[0] = kDocA;
    q.documents[1] = kDocB;
    TessikChar* out = nullptr;
    if (int32_t s = check(Tessik_SyncSearch(id, &q, &out, 0), "sync search")) return s;
    bool whole = out != nullptr && TString(out).find(TX("<Property name='t'>b</Property>")) != TString::npos;
    Tessik_Release(out);
    if (!whole) Die("sync search lost a document", 0);
    q.asyncMode[0] = testplugin::kResultsThenEnd;
    q.asyncMode[1] = testplugin::kInsideCall;
    q.asyncDocument = kDocA;
    int before;
    {
      std::lock_guard<std::mutex> hold(gMutex);
      before = gFinals;
    }
    if (int32_t s = check(Tessik_AsyncSearch(id, &q, &Callback, 0, 1), "async search")) return s;
    std::unique_lock<std::mutex> hold(gMutex);
    if (!gChanged.wait_for(hold, std::chrono::seconds(10), [&] { return gFinals > before; })) {
      Die("no final notification within 10 s", 0);
    }
    return TESSIK_OK;
  };
  result = run();
  if (int32_t s = check(Tessik_CloseSession(id), "close session"); result == TESSIK_OK) result = s;
  if (result != TESSIK_OK) return result;
  IHitList* list = nullptr;
  if (int32_t s = check(Tessik_ConvertXMLToHitList(kDocB, &list), "read hit list")) return s;
  TessikChar* xml = nullptr;
  int32_t s = check(Tessik_ConvertHitListToXML(list, &xml), "write hit list");
  Tessik_Release(xml);
  Tessik_ReleaseHitList(list);
  return s;
}

int Worker(int progressFd, int stopFd) {
  for (;;) {
    Round(false);
    if (write(progressFd, "x", 1) != 1) Die("progress pipe", 0);
    pollfd stop{stopFd, POLLIN, 0};
    if (poll(&stop, 1, 0) == 1) return 0;  // a normal exit, through the library's teardown
  }
}

std::string gSelf;

pid_t Exec(const std::vector<std::string>& args, const std::vector<int>& keep) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    for (int fd : keep) fcntl(fd, F_SETFD, 0);
    std::vector<char*> argv{const_cast<char*>(gSelf.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(gSelf.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

struct Child {
  pid_t pid = 0;
  int progress = -1;  // read end
};

// Bytes waiting in the pipe are dropped: only rounds after this count.
void Drain(int fd) {
  char chunk[256];
  for (pollfd p{fd, POLLIN, 0}; poll(&p, 1, 0) == 1 && read(fd, chunk, sizeof chunk) > 0;) {
  }
}
bool Progresses(int fd, int seconds) {
  pollfd p{fd, POLLIN, 0};
  char c;
  return poll(&p, 1, seconds * 1000) == 1 && read(fd, &c, 1) == 1;
}

int Kills(int rounds) {
  constexpr int kWorkers = 4;
  int stop[2];
  if (pipe2(stop, O_CLOEXEC) != 0) return 1;
  auto start = [&](Child& c) {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) Die("pipe", 0);
    c.pid = Exec({"worker", std::to_string(p[1]), std::to_string(stop[0])}, {p[1], stop[0]});
    close(p[1]);
    c.progress = p[0];
  };
  std::vector<Child> children(kWorkers);
  for (Child& c : children) start(c);
  unsigned seed = static_cast<unsigned>(getpid());
  std::printf("seed %u\n", seed);
  std::mt19937 random(seed);
  int failures = 0;
  auto stuck = [&](Child& c, const char* when) {
    std::fprintf(stderr, "process %d made no progress within 10 s %s\n", static_cast<int>(c.pid), when);
    PrintStacks(c.pid);
    ++failures;
  };
  for (Child& c : children) {
    if (!Progresses(c.progress, 10)) stuck(c, "after starting");
  }
  int survived = 0;
  for (int round = 0; round < rounds && failures == 0; ++round) {
    Child& victim = children[random() % kWorkers];
    for (Child& c : children) Drain(c.progress);
    usleep(random() % 20000);  // anywhere in a round, or in its start-up
    kill(victim.pid, SIGKILL);
    waitpid(victim.pid, nullptr, 0);
    close(victim.progress);
    for (Child& c : children) {
      if (&c == &victim) continue;
      int status;
      if (waitpid(c.pid, &status, WNOHANG) == c.pid) {
        std::fprintf(stderr, "process %d ended, status %d\n", static_cast<int>(c.pid), status);
        ++failures;
        c.pid = 0;
      } else if (!Progresses(c.progress, 10)) {
        stuck(c, "after a kill");
      }
    }
    start(victim);
    if (failures == 0) ++survived;
  }
  close(stop[1]);  // the workers end their round and return from main
  for (Child& c : children) {
    if (c.pid == 0) continue;
    int status = 0;
    auto end = Clock::now() + std::chrono::seconds(30);
    while (waitpid(c.pid, &status, WNOHANG) == 0) {
      if (Clock::now() > end) {
        std::fprintf(stderr, "process %d did not exit within 30 s\n", static_cast<int>(c.pid));
        PrintStacks(c.pid);
        kill(c.pid, SIGKILL);
        waitpid(c.pid, &status, 0);
        ++failures;
        break;
      }
      usleep(10000);
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "process %d ended with status %d\n", static_cast<int>(c.pid), status);
      ++failures;
    }
  }
  std::printf("rounds survived: %d of %d\n", survived, rounds);
  return failures == 0 && survived == rounds ? 0 : 1;
}

// --- Bad objects under the library's names ------------------------------------

// One round in a new process, under a 20 s watchdog: 0 ran, kRefused refused.
int Once() {
  pid_t pid = Exec({"once"}, {});
  int status = 0;
  for (auto end = Clock::now() + std::chrono::seconds(20); waitpid(pid, &status, WNOHANG) == 0; usleep(5000)) {
    if (Clock::now() < end) continue;
    std::fprintf(stderr, "a round over the bad objects hung\n");
    PrintStacks(pid);
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  if (WIFSIGNALED(status)) std::fprintf(stderr, "a round died of signal %d\n", WTERMSIG(status));
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Path(const char* name) { return std::string("/dev/shm/tessik.") + name; }
std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int BadObjects() {
  if (!PrivateShm()) {
    std::printf("skipped: no private /dev/shm (no mount namespace)\n");
    return 77;
  }
  const char* const kNames[] = {"CSessionMgr_Session",      "CSearchMgr_RunCount",  "CSearchMgr_AsyncResults",
                                "CSearchMgr_AsyncFinished", "CSearchMgr_PluginMap", "CNSHitList_HitVector"};
  int failures = 0;
  auto expect = [&](int got, int want, const std::string& what) {
    if (got == want) return;
    std::fprintf(stderr, "%s: round ended %d, expected %d\n", what.c_str(), got, want);
    ++failures;
  };
  // Left behind by a process killed in the middle of a round: recovered.
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return 1;
  pid_t killed = Exec({"worker", std::to_string(p[1]), std::to_string(p[0])}, {p[0], p[1]});
  if (!Progresses(p[0], 10)) ++failures;
  usleep(20000);
  kill(killed, SIGKILL);
  waitpid(killed, nullptr, 0);
  close(p[0]), close(p[1]);
  expect(Once(), 0, "objects of a killed process");
  // Every object as a killed process leaves it, as a template.
  killed = fork();
  if (killed == 0) {
    uint32_t id;
    IHitList* list = Tessik_NewHitList();
    if (list == nullptr || Tessik_OpenSession(TX("left"), &id) != TESSIK_OK) _exit(1);
    raise(SIGKILL);
  }
  waitpid(killed, nullptr, 0);
  std::vector<std::string> images;
  for (const char* name : kNames) images.push_back(Slurp(Path(name)));
  for (size_t i = 0; i < std::size(kNames); ++i) {
    const char* name = kNames[i];
    const std::string path = Path(name), image = images[i];
    if (image.empty()) {
      std::fprintf(stderr, "%s was not left behind\n", path.c_str());
      ++failures;
      continue;
    }
    struct Change {
      const char* what;
      std::string bytes;
      int outcome;
    };
    std::mt19937 random(7);
    std::string noise(image.size(), '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const Change changes[] = {
        {"left behind", image, 0},
        {"empty", "", 0},                                // a creator killed before sizing it
        {"zeroes", std::string(image.size(), '\0'), 0},  // sized, never published
        {"cut short", image.substr(0, image.size() / 2), kRefused},
        {"one byte", "x", kRefused},
        {"grown", image + std::string(8192, '\x5a'), kRefused},
        {"foreign bytes", noise, kRefused},
    };
    for (const Change& change : changes) {
      std::string what = std::string(name) + ", " + change.what;
      unlink(path.c_str());
      std::ofstream(path, std::ios::binary) << change.bytes;
      chmod(path.c_str(), 0666);
      expect(Once(), change.outcome, what);
      // A stranger's file is left alone; once it is gone, all is well again.
      if (change.outcome == kRefused && Slurp(path) != change.bytes) {
        std::fprintf(stderr, "%s: the stranger's file was changed\n", what.c_str());
        ++failures;
      }
      unlink(path.c_str());
      expect(Once(), 0, what + ", then removed");
    }
  }
  std::printf("bad objects: %d failures\n", failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  gSelf = "/proc/self/exe";
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) gSelf.assign(self, static_cast<size_t>(n));
  std::string role = argc > 1 ? argv[1] : "";
  if (role == "worker" && argc == 4) return Worker(std::atoi(argv[2]), std::atoi(argv[3]));
  if (role == "once") {
    int32_t status = Round(true);
    return status == TESSIK_OK ? 0 : status == TESSIK_E_FAILED ? kRefused : 4;
  }
  if (role == "kills") return Kills(argc > 2 ? std::atoi(argv[2]) : 100);
  if (role == "bad-objects") return BadObjects();
  std::fprintf(stderr, "usage: %s kills [ROUNDS] | bad-objects\n", argv[0]);
  return 2;
}
