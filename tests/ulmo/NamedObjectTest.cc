// The machine-wide Mutex and NamedEvent of the posix backend. Every test runs
// its body in a forked child under a watchdog (a hang fails, it does not stall
// CI), names its objects after its own pid and test, and must leave none of
// them in /dev/shm.
#include <fcntl.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/NamedEvent.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/posix/SharedObject.h"
#include "tests/common/TestText.h"

namespace os = vel::ulmo::osdep;
namespace shared = vel::ulmo::osdep::shared;
using os::Mutex;
using os::NamedEvent;
using vel::ulmo::WString;
using Clock = std::chrono::steady_clock;

namespace {

std::string gTag;  // "nt<pid>.<test>", set before the body forks

WString Name(const std::string& suffix) { return WString(T(gTag + "." + suffix).c_str()); }
std::string FullName(const WString& name) { return "Global\\" + std::string(name.CStr(), name.End()); }
std::string PathOf(const WString& name) {
  WString full = os::MakeGlobalName(name);
  return "/dev/shm" + shared::ObjectName({full.CStr(), full.Length()});
}
bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
void LockOnce(const WString& name) {
  Mutex m(name);
  os::MutexLock lock(m);
}
std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <class Predicate>
bool WaitUntil(Predicate done) {
  for (auto end = Clock::now() + std::chrono::seconds(10); !done(); usleep(500)) {
    if (Clock::now() > end) return false;
  }
  return true;
}

// Waits until the thread sleeps in the system call `call` (Lock and Wait sleep in a futex).
void AwaitAsleep(pid_t pid, pid_t tid, long call = SYS_futex) {
  std::string file = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/syscall";
  long n = -1;
  EXPECT_TRUE(WaitUntil([&] { return std::ifstream(file) >> n && n == call; })) << file;
}

// A child process running `body`; with `awaitReady`, returns once it has called Ready().
int gReady[2];
void Ready() {
  if (write(gReady[1], "x", 1) != 1) _exit(99);
}
template <class F>
pid_t Spawn(F body, bool awaitReady = false) {
  char c;
  bool piped = awaitReady && pipe(gReady) == 0;
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  EXPECT_TRUE(!awaitReady || (piped && read(gReady[0], &c, 1) == 1 && !close(gReady[0]) && !close(gReady[1])));
  return pid;
}
int Reap(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A thread the test can see asleep and finished; joined on destruction.
struct Background {
  explicit Background(std::function<void()> body) : thread([this, body] { tid = gettid(), body(), done = true; }) {}
  ~Background() { thread.join(); }
  void AwaitAsleep(long call = SYS_futex) {
    WaitUntil([&] { return tid != 0; }), ::AwaitAsleep(getpid(), tid, call);
  }
  std::atomic<pid_t> tid{0};
  std::atomic<bool> done{false};
  std::thread thread;
};
using Threads = std::vector<std::unique_ptr<Background>>;

void ExpectBlocksUntilSet(NamedEvent& event) {
  Background w([&] { event.Wait(); });
  w.AwaitAsleep();
  EXPECT_FALSE(w.done);
  event.Set();
}

void Isolated(int seconds, const std::function<void()>& body) {
  gTag = "nt" + std::to_string(getpid()) + "." + testing::UnitTest::GetInstance()->current_test_info()->name();
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);  // so the watchdog can kill everything the body started
    body();
    std::fflush(nullptr);
    _exit(testing::Test::HasFailure() ? 1 : 0);
  }
  setpgid(child, child);
  int status = 0;
  for (auto end = Clock::now() + std::chrono::seconds(seconds); waitpid(child, &status, WNOHANG) == 0; usleep(2000)) {
    if (Clock::now() < end) continue;
    kill(-child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "watchdog: still running after " << seconds << " s";
  }
  kill(-child, SIGKILL);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "body failed, status " << status;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
    if (!entry.path().filename().string().starts_with("tessik." + gTag + ".")) continue;
    ADD_FAILURE() << "left behind: " << entry.path();
    std::filesystem::remove(entry.path());
  }
}

bool Refused(const std::function<void()>& open, const char* site) {
  try {
    open();
  } catch (const os::WinError& e) {
    return e.GetSystemError() == EINVAL && std::string(e.file) == site;
  }
  return false;
}

// The next byte from `fd`, or 0 when none comes within 10 s (or at once, with `now`).
char NextByte(int fd, bool now = false) {
  pollfd p{fd, POLLIN, 0};
  char c = 0;
  return poll(&p, 1, now ? 0 : 10000) == 1 && read(fd, &c, 1) == 1 ? c : 0;
}

// Holds the calling process up at the very end of a normal exit, after every
// destructor and exit handler: its last flush writes more than a pipe holds
// into `pipeFd`, until the other end is drained.
void StallExitOn(int pipeFd) {
  static char buffer[1 << 20];
  FILE* out = fdopen(pipeFd, "w");
  setvbuf(out, buffer, _IOFBF, sizeof buffer);
  std::string text(256 << 10, 'x');
  fwrite(text.data(), 1, text.size(), out);
}
void Drain(int pipeFd) {
  char chunk[65536];
  for (pollfd p{pipeFd, POLLIN, 0}; poll(&p, 1, 10000) == 1 && read(pipeFd, chunk, sizeof chunk) > 0;) {
  }
}

}  // namespace

TEST(NamedObject, NamesEscapedCaseKeptLongOnesHashed) {
  auto name = [](const std::u16string& n) { return shared::ObjectName(u"Global\\" + n); };
  EXPECT_EQ(name(u"Tessik.Lock"), "/tessik.Tessik.Lock");
  EXPECT_EQ(name(u".a/b%c\x01\x7f.d\\e"), "/tessik.%2Ea%2Fb%25c%01%7F.d\\e");
  EXPECT_EQ(name(u"\u00e9\U0001F600"), "/tessik.\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(name(u"a\xD800"
                 u"b"),
            "/tessik.a%ED%A0%80b");  // a lone surrogate stays distinct
  std::string a = name(std::u16string(300, u'a'));
  EXPECT_EQ(a, "/tessik." + std::string(128, 'a') + "%H" + a.substr(8 + 130));
  EXPECT_EQ(a.size(), 8 + 130 + 32u);
  EXPECT_NE(a, name(std::u16string(299, u'a') + u"b"));
  // The readable part never ends inside a character or an escape.
  EXPECT_EQ(name(std::u16string(127, u'a') + std::u16string(200, u'\u00e9')).find("%H"), 8 + 127u);
  EXPECT_EQ(name(std::u16string(127, u'a') + std::u16string(200, u'/')).find("%H"), 8 + 127u);
  EXPECT_THROW(Mutex(WString(40000, u'x')), os::WinError);
}

TEST(NamedObject, LifetimeFollowsItsUsers) {
  Isolated(60, [] {
    umask(022);
    WString name = Name("life");
    std::string path = PathOf(name);
    auto a = std::make_unique<Mutex>(name), b = std::make_unique<Mutex>(name);
    NamedEvent event(Name("mode"), false, false);
    // Every user may open them, as everyone may open the Windows ones.
    for (const std::string& file : {path, PathOf(Name("mode"))}) {
      struct stat st;
      EXPECT_TRUE(stat(file.c_str(), &st) == 0 && (st.st_mode & 0777) == 0666) << file;
    }
    std::string maps = Slurp("/proc/self/maps");
    EXPECT_TRUE(maps.find(path) != std::string::npos && maps.find(path) == maps.rfind(path));  // mapped once
    b.reset();
    // A forked child holds what it inherits as its own: its dropping it does
    // not take the name from us, nor ours from it.
    EXPECT_EQ(Reap(Spawn([&] { return a.reset(), Exists(path) ? 0 : 1; })), 0);
    // Nor does it inherit its parent's holds and waits: once the parent is
    // killed, the child's normal exit removes what it held and waited on.
    int gone[2];
    ASSERT_EQ(pipe(gone), 0);
    EXPECT_EQ(Reap(Spawn([&] {
                static auto* m = new Mutex(Name("fork-m"));
                static auto* e = new NamedEvent(Name("fork-e"), false, false);
                (new Background([] { m->Lock(), e->Wait(); }))->AwaitAsleep();
                char c;
                if (fork() == 0) std::exit(read(gone[0], &c, 1) == 1 ? 0 : 3);
                return raise(SIGKILL);
              })),
              128 + SIGKILL);
    ASSERT_EQ(write(gone[1], "x", 1), 1);
    EXPECT_TRUE(WaitUntil([] { return !Exists(PathOf(Name("fork-m"))) && !Exists(PathOf(Name("fork-e"))); }));
    pid_t child = Spawn([] { return Ready(), pause(); }, true);
    a.reset();
    EXPECT_TRUE(Exists(path));
    // Its users killed, an object starts afresh with its next opener, even as the other type.
    kill(child, SIGKILL), Reap(child);
    NamedEvent fresh(name, false, false);
    ExpectBlocksUntilSet(fresh);
    EXPECT_EQ(Reap(Spawn([] { return new NamedEvent(Name("stale"), true, true) ? 0 : 1; })), 0);
    ExpectBlocksUntilSet(*std::make_unique<NamedEvent>(Name("stale"), false, false));
  });
}

// An open that fails after the object was opened takes back all it took.
TEST(NamedObject, FailedOpenTakesNothing) {
  Isolated(30, [] {
    std::string path = PathOf(Name("failed"));
    shared::gAfterOpen = [] { throw std::bad_alloc(); };
    EXPECT_THROW(Mutex{Name("failed")}, std::bad_alloc);
    shared::gAfterOpen = nullptr;
    // Nobody else had it, so closing it removed the name; no mapping is left.
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(Slurp("/proc/self/maps").find(path), std::string::npos);
  });
}

TEST(NamedMutex, OwnerDeathMatrix) {
  Isolated(120, [] {
    WString name = Name("owner");
    Mutex m(name);
    // A child that takes it and dies holding it, at once or when killed.
    auto holder = [&](bool stay) { return Spawn([&] { return m.Lock(), Ready(), stay ? pause() : 0; }, true); };
    pid_t killed = holder(true);
    kill(killed, SIGKILL), Reap(killed);
    LockOnce(name);
    std::thread([&] { Mutex(name).Lock(); }).join();  // a thread exits holding
    LockOnce(name);
    // A waiter blocked in another process gets it when the holder is killed.
    killed = holder(true);
    pid_t waiter = Spawn([&] { return LockOnce(name), 0; });
    AwaitAsleep(waiter, waiter);
    kill(killed, SIGKILL), Reap(killed);
    EXPECT_EQ(Reap(waiter), 0);
    // Holders that exit at once; each Lock takes over from a dead owner and
    // leaves the mutex as usable as ever.
    for (int i = 0; i < 20; ++i) Reap(holder(false)), m.Lock(), m.Unlock(), m.Lock(), m.Unlock();
  });
}

// A held mutex outlives the holder's handles and its process's exit cleanup.
// The name stays open elsewhere, so a wrong unmapping cannot hide behind the
// name being removed and made anew.
TEST(NamedMutex, HeldOutlivesHandlesAndExit) {
  Isolated(60, [] {
    WString name = Name("held");
    Mutex m(name);
    // A child exits normally holding it, on its main thread or another: we
    // take it over from the dead owner, and it is still the one lock of the
    // name (a process opening the name waits for our hold).
    for (bool onThread : {false, true}) {
      EXPECT_EQ(Reap(Spawn([&] {
                  std::atomic<bool> held{false};
                  auto hold = [&] { m.Lock(), held = true; };
                  onThread ? std::thread([&] { hold(), pause(); }).detach() : hold();
                  std::exit(WaitUntil([&] { return held.load(); }) ? 0 : 1);
                  return 1;
                })),
                0);
      m.Lock();
      pid_t other = Spawn([&] { return LockOnce(name), 0; });
      AwaitAsleep(other, other);
      m.Unlock();
      EXPECT_EQ(Reap(other), 0);
    }
    // A thread drops its last handle while holding it and ends: the mapping
    // must have stayed, or its death goes unseen and the waiter waits for ever.
    pid_t keeper = Spawn([] { return Mutex(Name("orphan")), Ready(), pause(); }, true);
    std::atomic<int> stage{0};
    std::thread holder([&] {
      Mutex(Name("orphan")).Lock();
      stage = 1;
      WaitUntil([&] { return stage == 2; });
    });
    WaitUntil([&] { return stage == 1; });
    pid_t waiter = Spawn([] { return LockOnce(Name("orphan")), 0; });
    AwaitAsleep(waiter, waiter);  // held: the waiter waits
    stage = 2, holder.join();
    EXPECT_EQ(Reap(waiter), 0);
    kill(keeper, SIGKILL), Reap(keeper);
    Mutex{Name("orphan")};  // closes what the dead thread left open here
  });
}

TEST(NamedMutex, CreationRaceAndExclusion) {
  Isolated(240, [] {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    constexpr int kRounds = 300;  // a sanitized process starts several times slower
#else
    constexpr int kRounds = 1000;
#endif
    constexpr int kProcesses = 8, kIncrements = 20;
    auto* counter =
        static_cast<std::atomic<int>*>(mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    for (int round = 0; round < kRounds; ++round) {
      WString name = Name("race" + std::to_string(round));
      counter->store(0);
      int gate[2];
      ASSERT_EQ(pipe(gate), 0);
      std::vector<pid_t> pids(kProcesses);
      for (pid_t& pid : pids) {
        pid = Spawn([&] {
          char c;
          if (close(gate[1]) != 0 || read(gate[0], &c, 1) != 0) return 3;  // all go at once
          Mutex m(name);
          for (int k = 0; k < kIncrements; ++k) {
            os::MutexLock lock(m);
            int seen = counter->load(std::memory_order_relaxed);
            sched_yield();  // lost updates show if two processes are ever inside together
            counter->store(seen + 1, std::memory_order_relaxed);
          }
          return 0;
        });
      }
      close(gate[0]), close(gate[1]);
      for (pid_t pid : pids) EXPECT_EQ(Reap(pid), 0);
      ASSERT_EQ(counter->load(), kProcesses * kIncrements) << "round " << round;
      ASSERT_FALSE(Exists(PathOf(name))) << "round " << round;
    }
  });
}

// Groups of short processes in a row open the same names and exit side by
// side, each held up at the end of its exit until all are; in some a thread
// still waits on an event or holds the mutex when they exit. Whatever those
// left, the last group, all idle, must remove.
TEST(NamedObject, ExitsSideBySideLeaveNothing) {
  Isolated(120, [] {
    constexpr int kGroups = 10, kProcesses = 4;
    for (int group = 0; group < kGroups; ++group) {
      int gate[2], stall[kProcesses][2];
      ASSERT_EQ(pipe(gate), 0);
      std::vector<pid_t> pids;
      for (int i = 0; i < kProcesses; ++i) {
        ASSERT_EQ(pipe(stall[i]), 0);
        pids.push_back(Spawn(
            [&] {
              static auto* m = new Mutex(Name("m"));
              static auto* e = new NamedEvent(Name("e"), false, false);
              static auto* f = new NamedEvent(Name("f"), true, false);
              bool busy = group % 2 == 0;
              if (busy && i == 1) (new Background([&] { e->Wait(); }))->AwaitAsleep();
              if (busy && i == 2) (new Background([&] { m->Lock(), f->Wait(); }))->AwaitAsleep();
              StallExitOn(stall[i][1]);
              char c;
              Ready();
              if (close(gate[1]) != 0 || read(gate[0], &c, 1) != 0) return 3;
              std::exit(0);
            },
            true));
        close(stall[i][1]);
      }
      close(gate[0]), close(gate[1]);
      for (pid_t pid : pids) AwaitAsleep(pid, pid, SYS_write);
      for (int i = 0; i < kProcesses; ++i) Drain(stall[i][0]), close(stall[i][0]);
      for (pid_t pid : pids) EXPECT_EQ(Reap(pid), 0) << "group " << group;
    }
  });
}

// A process exits while a thread of it waits on an event and another is
// about to lock a mutex; nobody else has either open. Held up at the very
// end of its exit (flushing a stream into a pipe nobody reads yet), its
// objects must still be what the names lead to: our Set releases its
// waiter, and its late Lock takes no second lock beside ours.
TEST(NamedObject, ExitLeavesWhatItsThreadsUse) {
  Isolated(60, [] {
    int stall[2], report[2], go[2];
    ASSERT_TRUE(!pipe(stall) && !pipe(report) && !pipe(go));
    pid_t child = Spawn([&] {
      static auto* e = new NamedEvent(Name("e"), false, false);
      static auto* m = new Mutex(Name("m"));
      auto tell = [&](char what) { return write(report[1], &what, 1) == 1; };
      auto* waiter = new Background([&] { e->Wait(), tell('w'); });
      auto* late = new Background([&] {
        char c;
        if (read(go[0], &c, 1) == 1) m->Lock(), tell('l');
      });
      waiter->AwaitAsleep(), late->AwaitAsleep(SYS_read);
      pid_t tid = late->tid;
      if (write(report[1], &tid, sizeof tid) != sizeof tid) return 3;
      StallExitOn(stall[1]);
      std::exit(0);
    });
    pid_t late;
    ASSERT_EQ(read(report[0], &late, sizeof late), static_cast<ssize_t>(sizeof late));
    AwaitAsleep(child, child, SYS_write);  // in the last flush of its exit
    NamedEvent(Name("e"), false, false).Set();
    EXPECT_EQ(NextByte(report[0]), 'w') << "the Set went to another event";
    Mutex mine(Name("m"));
    mine.Lock();
    ASSERT_EQ(write(go[1], "x", 1), 1);
    AwaitAsleep(child, late, SYS_pause);  // waits for the end instead
    EXPECT_EQ(NextByte(report[0], true), 0) << "a second lock under the name";
    mine.Unlock();
    close(stall[1]), Drain(stall[0]);
    EXPECT_EQ(Reap(child), 0);
    NamedEvent(Name("e"), false, false);  // removes what the child had to leave
  });
}

TEST(NamedObject, CreatorDiedHalfWay) {
  Isolated(60, [] {
    // 0: created, never sized. 1: sized, header begun, no magic. 2: killed
    // while holding the exclusive flock; the opener waits for it.
    for (int stage = 0; stage < 3; ++stage) {
      WString name = Name("half" + std::to_string(stage));
      std::string path = PathOf(name);
      pid_t creator = Spawn(
          [&] {
            int fd = shm_open(path.c_str() + 8, O_RDWR | O_CREAT | O_EXCL, 0666);
            if (fd < 0 || flock(fd, stage == 2 ? LOCK_EX : LOCK_SH) != 0) return 1;
            size_t size = shared::kHeaderSize + shared::kPayloadSize + FullName(name).size();
            if (stage == 1 && (ftruncate(fd, size) != 0 || pwrite(fd, &shared::kLayoutVersion, 4, 4) != 4)) return 1;
            Ready();
            return stage == 2 ? pause() : 0;
          },
          true);
      EXPECT_TRUE(stage == 2 || Reap(creator) == 0) << stage;
      Background user([&] { LockOnce(name); });
      if (stage == 2) user.AwaitAsleep(SYS_flock), kill(creator, SIGKILL), Reap(creator);
    }
  });
}

TEST(NamedObject, BadObjectsAreRefused) {
  Isolated(60, [] {
    const char* kEventSite = "ulmo\\osdep\\NamedEvent";
    Mutex good(Name("good"));
    EXPECT_TRUE(Refused([] { NamedEvent(Name("good"), false, false); }, kEventSite));
    pid_t holder = Spawn([] { return Mutex(Name("held")), Ready(), pause(); }, true);
    EXPECT_TRUE(Refused([] { NamedEvent(Name("held"), false, false); }, kEventSite));  // seen in the file
    kill(holder, SIGKILL), Reap(holder);
    NamedEvent(Name("held"), false, false);  // nobody has the mutex now: the name is free
    const std::string image = Slurp(PathOf(Name("good")));
    // Objects under our names that are not what we want: only the file tells.
    auto header = [](std::string& s) { return reinterpret_cast<shared::Header*>(s.data()); };
    std::vector<std::function<void(std::string&)>> changes = {
        [](std::string&) {},                                          // the good one: a free mutex
        [&](std::string& s) { s.replace(s.size() - 4, 4, "good"); },  // names another object
        [&](std::string& s) { header(s)->abi ^= 1; },
        [](std::string& s) { s[0] ^= 0x55; },
        [](std::string& s) { s.resize(100); },
        [](std::string& s) { s.resize(3); },
        [](std::string& s) { s.append(4096, '\0'); },
        [](std::string& s) { s.assign(s.size(), '\x7f'); },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
      WString name = Name("bad" + std::to_string(i));  // as long as "good"
      std::string bytes = image, path = PathOf(name);
      bytes.replace(bytes.size() - FullName(name).size(), std::string::npos, FullName(name));
      changes[i](bytes);
      std::ofstream(path, std::ios::binary) << bytes;
      if (i == 0) {
        LockOnce(name);
        continue;
      }
      EXPECT_TRUE(Refused([&] { Mutex m(name); }, "ulmo\\osdep\\Mutex")) << i;
      EXPECT_TRUE(Exists(path)) << "a stranger's object is left alone";
      unlink(path.c_str());
    }
    // One of another layout (another build's) is refused while a process has
    // it open, and starts afresh once nobody has.
    std::string bytes = image, path = PathOf(Name("oldv"));
    bytes.replace(bytes.size() - FullName(Name("oldv")).size(), std::string::npos, FullName(Name("oldv")));
    header(bytes)->version ^= 0x100;
    std::ofstream(path, std::ios::binary) << bytes;
    holder = Spawn(
        [&] {
          int fd = open(path.c_str(), O_RDWR);
          return flock(fd, LOCK_SH), Ready(), pause();
        },
        true);
    EXPECT_TRUE(Refused([] { Mutex m(Name("oldv")); }, "ulmo\\osdep\\Mutex"));
    kill(holder, SIGKILL), Reap(holder);
    LockOnce(Name("oldv"));
  });
}

TEST(NamedEvent, AutoReset) {
  Isolated(120, [] {
    WString name = Name("auto");
    NamedEvent e(name, false, false);
    NamedEvent again(name, true, true);  // keeps its own kind and state
    ExpectBlocksUntilSet(again);
    for (int round = 0; round < 30; ++round) {
      std::atomic<int> released{0};
      std::atomic<bool> passed[3] = {false, false, false};
      Threads waiters;
      for (int i = 0; i < 3; ++i) {
        waiters.push_back(std::make_unique<Background>([&, i] { e.Wait(), passed[i] = true, ++released; }));
      }
      for (auto& w : waiters) w->AwaitAsleep();
      e.Set(), e.Set();
      EXPECT_TRUE(WaitUntil([&] { return released == 2; })) << "round " << round;
      for (int i = 0; i < 3; ++i) {
        if (!passed[i]) waiters[i]->AwaitAsleep();  // the third still waits
      }
      e.Set();
      waiters.clear();
      EXPECT_EQ(released, 3);
    }
    ExpectBlocksUntilSet(e);  // three Sets for three waiters leave nothing behind
    // A waiter killed while registered takes no Set with it, and leaves
    // nothing Reset cannot clear.
    pid_t doomed = Spawn([&] { return e.Wait(), 0; });
    AwaitAsleep(doomed, doomed);
    kill(doomed, SIGKILL), Reap(doomed);
    ExpectBlocksUntilSet(e);  // a Set still reaches a live waiter
    for (int i = 0; i < 2; ++i) {
      doomed = Spawn([&] { return e.Wait(), 0; });
      AwaitAsleep(doomed, doomed);
      kill(doomed, SIGKILL), Reap(doomed);
    }
    e.Set(), e.Reset();
    ExpectBlocksUntilSet(e);  // not signalled: the Set went to nobody dead
    e.Set();                  // with nobody alive waiting it stays for the next Wait
    e.Wait();
    // A Set that died holding the event's guard, having released a waiter
    // but not woken it: the next to take the guard wakes it.
    Background w([&] { e.Wait(); });
    w.AwaitAsleep();
    EXPECT_EQ(Reap(Spawn([&] {
                int fd = open(PathOf(name).c_str(), O_RDWR);
                struct stat st;
                if (fd < 0 || fstat(fd, &st) != 0) return 1;
                void* base = mmap(nullptr, st.st_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
                auto* state = reinterpret_cast<shared::event::State*>(static_cast<char*>(base) + shared::kHeaderSize);
                pthread_mutex_lock(&state->guard);
                for (auto& slot : state->slots) {
                  if (slot.state == shared::event::kWaiting) slot.state = shared::event::kReleased;
                }
                return 0;
              })),
              0);
    e.Set();  // finds nobody waiting any more: signalled
    e.Wait();
  });
}

TEST(NamedEvent, ManualReset) {
  Isolated(120, [] {
    NamedEvent m(Name("manual"), true, false);
    for (int round = 0; round < 20; ++round) {
      // Opened as auto-reset and signalled, it stays manual and not signalled.
      pid_t other = Spawn([] { return NamedEvent(Name("manual"), false, true).Wait(), 0; });
      AwaitAsleep(other, other);
      Threads waiters;
      for (int i = 0; i < 3; ++i) waiters.push_back(std::make_unique<Background>([&] { m.Wait(); }));
      for (auto& w : waiters) w->AwaitAsleep();
      m.Set(), m.Reset();  // everyone waiting at the Set goes anyway
      waiters.clear();
      EXPECT_EQ(Reap(other), 0);
    }
  });
}
