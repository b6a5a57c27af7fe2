// Failures of the system calls under the named objects, the loader, thread
// start and the heap, made on purpose through the backend's table: each
// failure branch, walked in order, must end in the error its caller is
// promised, take back what it took (descriptors, mappings, a name it made)
// and leave the next attempt working.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>

#include "tests/common/FailingCalls.h"
#include "tests/common/TestText.h"
#include "tests/common/Watchdog.h"
#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/NamedEvent.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/SharedLibrary.h"
#include "ulmo/osdep/Thread.h"
#include "ulmo/osdep/posix/SharedObject.h"

namespace os = vel::ulmo::osdep;
using failing::Call;
using failing::FailNth;
using vel::ulmo::AString;
using vel::ulmo::WString;

namespace {

WString Name(const std::string& what) {
  std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
  return WString(T("fi" + std::to_string(getpid()) + "." + test + "." + what).c_str());
}
std::string PathOf(const WString& name) {
  WString full = os::MakeGlobalName(name);
  return "/dev/shm" + os::shared::ObjectName({full.CStr(), full.Length()});
}
bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}
bool Mapped(const std::string& path) {
  std::ifstream in("/proc/self/maps");
  return std::string(std::istreambuf_iterator<char>(in), {}).find(path) != std::string::npos;
}

// What the name holds before the open under test.
enum Scene { kNothing, kUnfinished, kOpenElsewhere };
const char* const kSceneNames[] = {"nothing", "unfinished", "open elsewhere"};

}  // namespace

// Every failure of shm_open, ftruncate, mmap and flock while a Mutex opens,
// in each state the name can be found in: a WinError carrying the system's
// error, nothing of ours left open, a name we made taken away, and the next
// open (and a lock) working. A name another process has open stays.
TEST(InjectedFailure, NamedObjectOpen) {
  Watchdog dog(std::chrono::seconds(100), "InjectedFailure.NamedObjectOpen");
  for (Call call : {failing::kShmOpen, failing::kFtruncate, failing::kMmap, failing::kFlock}) {
    for (Scene scene : {kNothing, kUnfinished, kOpenElsewhere}) {
      WString name = Name(std::string(failing::kCallNames[call]) + "." + std::to_string(scene));
      std::string path = PathOf(name);
      SCOPED_TRACE(std::string(failing::kCallNames[call]) + ", " + kSceneNames[scene]);
      pid_t holder = 0;
      if (scene == kOpenElsewhere) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        holder = fork();
        if (holder == 0) {
          os::Mutex m(name);
          if (write(ready[1], "x", 1) != 1) _exit(1);
          pause();
          _exit(0);
        }
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]), close(ready[1]);
      }
      int fired = 0;
      for (long nth = 0;; ++nth) {
        if (scene == kUnfinished) close(shm_open(path.c_str() + 8, O_RDWR | O_CREAT, 0666));
        size_t descriptors = OpenDescriptors();
        FailNth failure(call, nth, EIO);
        try {
          os::Mutex m(name);
          failure.Disarm();
          EXPECT_FALSE(failure.Fired()) << "a failed call went unnoticed, call " << nth;
          os::MutexLock lock(m);
        } catch (const os::WinError& e) {
          EXPECT_TRUE(failure.Fired());
          EXPECT_EQ(e.GetSystemError(), uint32_t{EIO});
          EXPECT_STREQ(e.file, "ulmo\\osdep\\Mutex");
        }
        failure.Disarm();
        EXPECT_EQ(OpenDescriptors(), descriptors) << "call " << nth;
        EXPECT_FALSE(Mapped(path)) << "call " << nth;
        // A name we made goes; one another process has open stays (an
        // unfinished one nobody has may go or stay: the next open builds it).
        if (scene != kUnfinished) {
          EXPECT_EQ(Exists(path), scene == kOpenElsewhere) << "call " << nth;
        }
        if (!failure.Fired()) break;
        ++fired;
        os::Mutex again(name);
        os::MutexLock lock(again);
      }
      // A ready object is never resized.
      EXPECT_TRUE(fired > 0 || (call == failing::kFtruncate && scene == kOpenElsewhere));
      if (holder != 0) kill(holder, SIGKILL), waitpid(holder, nullptr, 0), shm_unlink(path.c_str() + 8);
    }
  }
}

// The last close cannot tell that nobody else has the object when its flock
// fails: the name stays, unmapped and closed here, and the next open starts
// it afresh and removes it at its own close.
TEST(InjectedFailure, NamedObjectClose) {
  WString name = Name("close");
  std::string path = PathOf(name);
  size_t descriptors = OpenDescriptors();
  auto mutex = std::make_unique<os::Mutex>(name);
  {
    FailNth failure(failing::kFlock, 0, EIO);
    mutex.reset();
    EXPECT_TRUE(failure.Fired());
  }
  EXPECT_TRUE(Exists(path));
  EXPECT_FALSE(Mapped(path));
  EXPECT_EQ(OpenDescriptors(), descriptors);
  {
    os::Mutex again(name);
    os::MutexLock lock(again);
  }
  EXPECT_FALSE(Exists(path));
}

// The loader: a library the system will not load is not loaded, and nothing
// is thrown; loading it again afterwards works.
TEST(InjectedFailure, LibraryLoad) {
  FailNth failure(failing::kDlopen, 0, ENOMEM, 100);
  os::SharedLibrary refused(WString(AString("osdep_testlib")));
  EXPECT_TRUE(failure.Fired());
  EXPECT_FALSE(refused.IsLoaded());
  EXPECT_EQ(refused.GetSymbol(AString("tessik_test_answer"), true), nullptr);
  failure.Disarm();
  refused.Load();
  EXPECT_TRUE(refused.IsLoaded());
}

// Thread start: no thread means a SystemError carrying the system's error
// and a Thread that is not started, and can be started again.
TEST(InjectedFailure, ThreadStart) {
  struct Once : os::Thread {
    uint32_t Run() override { return 7; }
  } thread;
  {
    FailNth failure(failing::kThread, 0, EAGAIN);
    try {
      thread.Start();
      ADD_FAILURE() << "started without a thread";
    } catch (const os::WinError& e) {
      EXPECT_EQ(e.GetSystemError(), uint32_t{EAGAIN});
    }
    EXPECT_FALSE(thread.IsStarted());
  }
  thread.Start();
  thread.Join();
  EXPECT_EQ(thread.GetExitCode(), 7u);
}

// The heap under every string: a failed allocation or reallocation throws
// std::bad_alloc and leaves the string as it was.
TEST(InjectedFailure, StringHeap) {
  const WString kept(AString("kept")), more(AString("a text long enough to need a larger buffer than before"));
  WString text = kept;
  {
    FailNth failure(failing::kRealloc, 0, ENOMEM, 1000);
    EXPECT_THROW(text.Append(more), std::bad_alloc);
    EXPECT_TRUE(failure.Fired());
  }
  EXPECT_TRUE(text == kept);
  FailNth failure(failing::kMalloc, 0, ENOMEM, 1000);
  EXPECT_THROW(WString{more}, std::bad_alloc);
  EXPECT_TRUE(failure.Fired());
}
