#include "ulmo/osdep/posix/SharedObject.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <linux/membarrier.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/posix/SystemCalls.h"

namespace vel::ulmo::osdep::shared {

namespace {

constexpr std::u16string_view kGlobal = u"Global\\";
constexpr std::string_view kFilePrefix = "/tessik.";
constexpr size_t kMaxFileName = 255;     // one path component, without the leading "/"
constexpr size_t kKeptWhenHashed = 128;  // bytes of a long escaped name kept before the hash
constexpr size_t kMaxNameUnits = 32767;  // the longest object name Windows accepts
constexpr uint32_t kAbi = static_cast<uint32_t>(sizeof(void*) << 16 | sizeof(pthread_mutex_t));
constexpr size_t kObjectFixedSize = kHeaderSize + kPayloadSize;
// Openers loop while other processes remove or replace the object under
// them; this many rounds only happen if something keeps doing so on purpose.
constexpr int kMaxOpenRounds = 10000;

// --- Names --------------------------------------------------------------------

const char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::string& out, unsigned char byte) {
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

// Appends the UTF-8 form of one code point; `escapeAll` writes every byte as %XX.
void AppendCodePoint(std::string& out, uint32_t c, bool escapeAll) {
  unsigned char bytes[4];
  size_t n;
  if (c < 0x80) {
    bytes[0] = static_cast<unsigned char>(c);
    n = 1;
  } else if (c < 0x800) {
    bytes[0] = static_cast<unsigned char>(0xC0 | c >> 6);
    bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    n = 2;
  } else if (c < 0x10000) {
    bytes[0] = static_cast<unsigned char>(0xE0 | c >> 12);
    bytes[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    n = 3;
  } else {
    bytes[0] = static_cast<unsigned char>(0xF0 | c >> 18);
    bytes[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
    bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    n = 4;
  }
  for (size_t i = 0; i < n; ++i) {
    if (escapeAll) {
      AppendEscaped(out, bytes[i]);
    } else {
      out += static_cast<char>(bytes[i]);
    }
  }
}

// Walks UTF-16 text by code point. A lone surrogate comes out as itself,
// flagged, so both forms below stay one-to-one with the UTF-16 name.
template <class Visit>
void ForEachCodePoint(std::u16string_view text, Visit visit) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      visit(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00), i == 0, false);
      ++i;
    } else {
      visit(c, i == 0, c >= 0xD800 && c < 0xE000);
    }
  }
}

// The full name as the header keeps it: plain UTF-8 (a lone surrogate as
// its three-byte form).
std::string FullNameUtf8(std::u16string_view name) {
  std::string out = "Global\\";
  ForEachCodePoint(name, [&](uint32_t c, bool, bool) { AppendCodePoint(out, c, false); });
  return out;
}

std::string EscapedName(std::u16string_view name) {
  std::string out;
  ForEachCodePoint(name, [&](uint32_t c, bool first, bool lone) {
    bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
    if (c == '/' || c == '%' || (c == '.' && first) || control || lone) {
      AppendCodePoint(out, c, true);
    } else {
      AppendCodePoint(out, c, false);
    }
  });
  return out;
}

uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

uint64_t Hash64(std::string_view bytes, uint64_t seed) {
  uint64_t h = seed;
  for (unsigned char b : bytes) {
    h ^= b;
    h *= 0x100000001B3ull;
  }
  return Mix(h ^ bytes.size());
}

std::string FileNameFor(std::u16string_view name, const std::string& fullUtf8) {
  std::string escaped = EscapedName(name);
  std::string file(kFilePrefix);
  if (kFilePrefix.size() - 1 + escaped.size() <= kMaxFileName) return file + escaped;
  // Cut the readable part where neither a %XX nor a UTF-8 sequence is split.
  size_t cut = kKeptWhenHashed;
  while (cut > 0 && (static_cast<unsigned char>(escaped[cut]) & 0xC0) == 0x80) --cut;
  if (escaped[cut - 1] == '%') {
    cut -= 1;
  } else if (escaped[cut - 2] == '%') {
    cut -= 2;
  }
  file.append(escaped, 0, cut);
  file += "%H";
  for (uint64_t seed : {0xCBF29CE484222325ull, 0x84222325CBF29CE4ull}) {
    uint64_t h = Hash64(fullUtf8, seed);
    for (int shift = 60; shift >= 0; shift -= 4) file += kHex[h >> shift & 15];
  }
  return file;
}

// --- One object file --------------------------------------------------------

[[noreturn]] void Fail(const char* site, uint32_t line, int error) {
  errno = error;
  exception::ThrowAt(WinError(), site, line);
}

int LockFile(int fd, int operation) {
  int rc;
  do {
    rc = sys::Flock(fd, operation);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

struct Wanted {
  ObjectType type;
  const std::string& fullName;
  size_t size;
};

// kOtherType: one of our objects with this name, of the other type.
// kOtherLayout: one of ours from a build with another layout.
enum class State { kReady, kUnfinished, kOtherType, kOtherLayout, kForeign, kError };

// What the object behind `fd` is. Maps it (once) only when its size is the
// one we expect, so nothing past the end of the file is ever touched.
State Inspect(int fd, const struct stat& st, const Wanted& want, void*& base) {
  if (st.st_size == 0) return State::kUnfinished;
  if (static_cast<uint64_t>(st.st_size) != want.size) {
    uint32_t start[2];  // magic and version
    bool ours = pread(fd, start, sizeof start, 0) == sizeof start && start[0] == kMagic;
    return ours && start[1] != kLayoutVersion ? State::kOtherLayout : State::kForeign;
  }
  if (base == nullptr) {
    void* mapped = sys::Mmap(nullptr, want.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) return State::kError;
    base = mapped;
  }
  auto* header = static_cast<Header*>(base);
  uint32_t magic = header->magic.load(std::memory_order_acquire);
  // A creator that died after sizing the file but before publishing it.
  if (magic == 0) return State::kUnfinished;
  if (magic == kMagic && header->version != kLayoutVersion) return State::kOtherLayout;
  const char* name = static_cast<const char*>(base) + kObjectFixedSize;
  bool ours = magic == kMagic && header->abi == kAbi && header->size == want.size &&
              header->nameBytes == want.fullName.size() &&
              std::memcmp(name, want.fullName.data(), want.fullName.size()) == 0;
  if (!ours) return State::kForeign;
  return header->type == static_cast<uint32_t>(want.type) ? State::kReady : State::kOtherType;
}

int Initialise(void* base, const Wanted& want, Initialiser initialise, const void* argument) {
  // A dead creator may have left part of its work behind.
  std::memset(base, 0, want.size);
  auto* header = static_cast<Header*>(base);
  header->version = kLayoutVersion;
  header->type = static_cast<uint32_t>(want.type);
  header->abi = kAbi;
  header->size = want.size;
  header->nameBytes = static_cast<uint32_t>(want.fullName.size());
  std::memcpy(static_cast<char*>(base) + kObjectFixedSize, want.fullName.data(), want.fullName.size());
  int error = initialise(static_cast<char*>(base) + kHeaderSize, argument);
  if (error != 0) return error;
  header->magic.store(kMagic, std::memory_order_release);
  return 0;
}

struct OpenFile {
  int fd;
  void* base;
};

// Gives up an open attempt. An object we made, started afresh or found
// unfinished (`ours`) is removed if nobody else has it, so a failed
// creation leaves no name behind; anything else under the name is left as
// it is.
void Abandon(int fd, void* base, size_t size, const std::string& fileName, bool ours) {
  int saved = errno;
  if (base != nullptr) munmap(base, size);
  if (ours && LockFile(fd, LOCK_EX | LOCK_NB) == 0) {
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_nlink > 0) shm_unlink(fileName.c_str());
  }
  close(fd);
  errno = saved;
}

// Sizes, maps and initialises an object we hold the exclusive flock on.
// Returns 0 or an errno value.
int Build(int fd, struct stat& st, const Wanted& want, void*& base, Initialiser initialise, const void* argument) {
  if (static_cast<uint64_t>(st.st_size) != want.size && sys::Ftruncate(fd, static_cast<off_t>(want.size)) != 0) {
    return errno;
  }
  if (fstat(fd, &st) != 0) return errno;
  State state = Inspect(fd, st, want, base);
  if (state == State::kError) return errno;
  if (state == State::kForeign) return EINVAL;
  return Initialise(base, want, initialise, argument);
}

// The open protocol. Its order is what makes racing openers, closers and
// dead creators safe:
//  - open without O_CREAT; create only with O_EXCL, so one process creates;
//  - hold a shared flock for as long as the object is open;
//  - an exclusive flock that succeeds at once means nobody has the object
//    open: we just created it, or all who had it died without closing it.
//    Windows would have destroyed it with their last handle, so it starts
//    afresh with our properties, even one a build with another layout left
//    (a stranger's file is still refused, and so is another layout in use);
//  - st_nlink 0 under the flock means a last closer removed the name while
//    we were opening: start again;
//  - an object not ready is initialised only under the exclusive flock,
//    after checking again, and its magic is published last. flock converts
//    without atomicity, so after going back to shared the name may have
//    been removed: check again.
OpenFile OpenObject(const std::string& fileName, const Wanted& want, Initialiser initialise, const void* argument,
                    const char* site) {
  for (int round = 0; round < kMaxOpenRounds; ++round) {
    int fd = sys::ShmOpen(fileName.c_str(), O_RDWR, 0);
    bool created = false;
    if (fd < 0) {
      if (errno != ENOENT) Fail(site, __LINE__, errno);
      fd = sys::ShmOpen(fileName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
      if (fd < 0) {
        if (errno == EEXIST) continue;
        Fail(site, __LINE__, errno);
      }
      created = true;
      // Every user of the machine may open it, as the null-DACL objects of
      // Windows; the umask would take that away.
      if (fchmod(fd, 0666) != 0) {
        Abandon(fd, nullptr, 0, fileName, true);
        Fail(site, __LINE__, errno);
      }
    }
    void* base = nullptr;
    struct stat st;
    bool exclusive = LockFile(fd, LOCK_EX | LOCK_NB) == 0;
    if ((!exclusive && (errno != EWOULDBLOCK || LockFile(fd, LOCK_SH) != 0)) || fstat(fd, &st) != 0) {
      // One we just made goes again (Test: InjectedFailure.NamedObjectOpen).
      Abandon(fd, base, want.size, fileName, created);
      Fail(site, __LINE__, errno);
    }
    if (st.st_nlink == 0) {
      close(fd);
      continue;
    }
    State state = Inspect(fd, st, want, base);
    bool build = exclusive;  // alone with it
    if (!exclusive && state == State::kUnfinished) {
      // Its creator is at work, or died half-way.
      if (LockFile(fd, LOCK_EX) != 0 || fstat(fd, &st) != 0) {
        Abandon(fd, base, want.size, fileName, true);
        Fail(site, __LINE__, errno);
      }
      if (st.st_nlink == 0) {
        Abandon(fd, base, want.size, fileName, false);
        continue;
      }
      exclusive = true;
      state = Inspect(fd, st, want, base);
      build = state == State::kUnfinished;
    }
    if (build && state != State::kForeign && state != State::kError) {
      int error = Build(fd, st, want, base, initialise, argument);
      if (error != 0) {
        Abandon(fd, base, want.size, fileName, true);
        Fail(site, __LINE__, error);
      }
      state = State::kReady;
    }
    if (state == State::kError) {
      Abandon(fd, base, want.size, fileName, false);
      Fail(site, __LINE__, errno);
    }
    if (state != State::kReady) {
      Abandon(fd, base, want.size, fileName, false);
      Fail(site, __LINE__, EINVAL);
    }
    if (exclusive) {
      if (LockFile(fd, LOCK_SH) != 0 || fstat(fd, &st) != 0) {
        // We built it, so it goes unless somebody has opened it meanwhile.
        Abandon(fd, base, want.size, fileName, true);
        Fail(site, __LINE__, errno);
      }
      if (st.st_nlink == 0) {
        Abandon(fd, base, want.size, fileName, false);
        continue;
      }
    }
    return {fd, base};
  }
  Fail(site, __LINE__, EAGAIN);
}

// --- The process's table --------------------------------------------------------

struct KeyHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view key) const { return std::hash<std::u16string_view>{}(key); }
};

struct Table {
  std::mutex mutex;
  std::unordered_map<std::u16string, SharedObject*, KeyHash, std::equal_to<>> objects;
};

Table* theTable = nullptr;

// Every thread's UseSlot, newest first; slots are never freed, only reused.
std::atomic<UseSlot*> theSlots{nullptr};

// Gives this thread's slot back when the thread ends.
struct SlotHolder {
  UseSlot* slot = nullptr;
  ~SlotHolder() {
    if (slot == nullptr) return;
    slot->object.store(nullptr, std::memory_order_relaxed);
    slot->taken.store(false, std::memory_order_release);
    slot = nullptr;
  }
};
thread_local SlotHolder thisThread;

UseSlot* TakeSlot() {
  for (UseSlot* slot = theSlots.load(std::memory_order_acquire); slot != nullptr; slot = slot->next) {
    bool free = false;
    if (slot->taken.compare_exchange_strong(free, true, std::memory_order_acquire)) return slot;
  }
  auto* slot = new UseSlot;
  slot->taken.store(true, std::memory_order_relaxed);
  slot->next = theSlots.load(std::memory_order_relaxed);
  while (!theSlots.compare_exchange_weak(slot->next, slot, std::memory_order_release, std::memory_order_relaxed)) {
  }
  return slot;
}

// Makes every thread of the process pass a full memory barrier, so that what
// each stored before is seen here, or what was stored here before is seen by
// each afterwards. A forked child starts unregistered and registers now.
void EveryThreadFences() {
  if (gFenceEachUse.load(std::memory_order_relaxed)) return;
  if (syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0) == 0) return;
  if (syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0 &&
      syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0) == 0) {
    return;
  }
  syscall(SYS_membarrier, MEMBARRIER_CMD_GLOBAL, 0, 0);
}

// fork copies the table with every mapping, but not the flocks: they belong
// to the parent's open file descriptions, which the child merely shares, so
// the parent's closing could not see the child and the child's closing would
// act for the parent. The child takes a shared flock of its own on each
// object and maps the object through it in place of the inherited mapping:
// a mapping keeps the description it was made through alive, flock and all,
// so the parent's lock would outlive the parent for as long as the child
// runs, and the child's exit would find someone still holding the object.
// One it cannot take again (the name leads elsewhere now) it forgets, and
// closes quietly later. The parent's other threads do not come along, and
// neither do their holds and waits: left counted, they would keep the
// child's objects open for good.
void LockBeforeFork() { theTable->mutex.lock(); }
void UnlockInParent() { theTable->mutex.unlock(); }
void RetakeInChild() {
  auto& objects = theTable->objects;
  for (auto at = objects.begin(); at != objects.end();) {
    SharedObject* object = at->second;
    object->heldHere.store(0, std::memory_order_relaxed);
    int fd = shm_open(object->fileName.c_str(), O_RDWR, 0);
    struct stat mine, inherited;
    if (fd >= 0 && flock(fd, LOCK_SH | LOCK_NB) == 0 && fstat(fd, &mine) == 0 && fstat(object->fd, &inherited) == 0 &&
        mine.st_dev == inherited.st_dev && mine.st_ino == inherited.st_ino &&
        mmap(object->base, object->size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) != MAP_FAILED) {
      close(object->fd);
      object->fd = fd;
      ++at;
    } else {
      if (fd >= 0) close(fd);
      object->inherited = true;
      at = objects.erase(at);
    }
  }
  for (UseSlot* slot = theSlots.load(std::memory_order_relaxed); slot != nullptr; slot = slot->next) {
    slot->object.store(nullptr, std::memory_order_relaxed);
    slot->taken.store(slot == thisThread.slot, std::memory_order_relaxed);
  }
  theTable->mutex.unlock();
}

// Whether a thread of this process holds the object's mutex or is inside an
// operation on it. heldHere says who holds until a holder of ours dies; when
// another process then takes the mutex over nothing here counts it down, so
// the robust mutex's futex word, which names the owning thread (the kernel
// reads it so when the owner dies), has the last word.
bool InUseHere(const SharedObject* object) {
  for (UseSlot* slot = theSlots.load(std::memory_order_acquire); slot != nullptr; slot = slot->next) {
    if (slot->object.load(std::memory_order_seq_cst) == object) return true;
  }
  if (object->type != ObjectType::kMutex || object->heldHere.load(std::memory_order_relaxed) == 0) return false;
  auto* mutex = static_cast<pthread_mutex_t*>(object->Payload());
  auto owner = static_cast<pid_t>(__atomic_load_n(&mutex->__data.__lock, __ATOMIC_RELAXED) & FUTEX_TID_MASK);
  return owner != 0 && syscall(SYS_tgkill, getpid(), owner, 0) == 0;
}

pthread_t exitingThread;  // written once, before gClosing is set

[[noreturn]] void WaitForTheEnd() {
  for (;;) pause();
}

// Other threads that come to the objects after the cleanup wait for the
// process to end; the thread that exits goes on, as the cleanup ran after
// every destructor it knew of.
void WaitUnlessExiting() {
  if (!pthread_equal(pthread_self(), exitingThread)) WaitForTheEnd();
}

// At a normal exit, after every destructor and exit handler (it is a
// destructor of the library), objects still open here are removed when
// nobody else has them, as Windows removes an object with its last handle.
//  - An object a thread of ours still uses (holds, waits on, is inside an
//    operation on) is left as it is, our flock with it, until the process
//    is gone: removing it would let another process make a second object
//    under the name, and giving up the flock would let it re-initialise
//    this one. The next opener after us finds it unheld and starts afresh.
//  - For the others we try the exclusive flock once, and never take the
//    shared one back: a failed try drops it, so of processes exiting side by
//    side the last to try succeeds and removes the name. (Taking it back
//    made each see the other, and both left the name behind.)
// Everything of a process that is killed stays, to be started afresh the
// same way.
__attribute__((destructor)) void CloseAtExit() {
  if (theTable == nullptr) return;
  std::lock_guard<std::mutex> lock(theTable->mutex);
  exitingThread = pthread_self();
  gClosing.store(true, std::memory_order_seq_cst);
  EveryThreadFences();
  for (auto& entry : theTable->objects) {
    SharedObject* object = entry.second;
    if (InUseHere(object)) continue;
    if (LockFile(object->fd, LOCK_EX | LOCK_NB) != 0) continue;
    struct stat st;
    if (fstat(object->fd, &st) == 0 && st.st_nlink > 0) shm_unlink(object->fileName.c_str());
    // Openers that found the name before it went need not wait for our end.
    LockFile(object->fd, LOCK_UN);
  }
}

// Never destroyed: Mutex objects in other function-local statics may be
// released after every destructor of this file has run.
Table& TheTable() {
  static Table* table = [] {
    theTable = new Table;
    pthread_atfork(LockBeforeFork, UnlockInParent, RetakeInChild);
    if (syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) != 0) {
      gFenceEachUse.store(true, std::memory_order_relaxed);
    }
    return theTable;
  }();
  return *table;
}

void CloseObject(SharedObject* object) noexcept {
  munmap(object->base, object->size);
  if (!object->inherited && LockFile(object->fd, LOCK_EX | LOCK_NB) == 0) {
    // Nobody else on the machine has it open: take the name away. While we
    // hold the exclusive flock nobody else can remove it, so the name is
    // still this object's.
    struct stat st;
    if (fstat(object->fd, &st) == 0 && st.st_nlink > 0) shm_unlink(object->fileName.c_str());
  }
  close(object->fd);
  delete object;
}

}  // namespace

std::atomic<bool> gClosing{false};
std::atomic<bool> gFenceEachUse{false};
void (*gAfterOpen)() = nullptr;

UseSlot* ThisThreadsSlot() {
  if (thisThread.slot == nullptr) thisThread.slot = TakeSlot();
  return thisThread.slot;
}

void Use::AfterClosing() {
  gClosing.load(std::memory_order_acquire);  // so that exitingThread is seen
  if (pthread_equal(pthread_self(), exitingThread)) return;
  slot_->object.store(nullptr, std::memory_order_release);
  WaitForTheEnd();
}

std::string ObjectName(std::u16string_view fullName) {
  if (fullName.starts_with(kGlobal)) fullName.remove_prefix(kGlobal.size());
  return FileNameFor(fullName, FullNameUtf8(fullName));
}

SharedObject* Acquire(std::u16string_view name, ObjectType type, Initialiser initialise, const void* argument,
                      const char* site) {
  Table& table = TheTable();
  if (gClosing.load(std::memory_order_seq_cst)) WaitUnlessExiting();
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.objects.find(name);
    if (found != table.objects.end()) {
      if (found->second->type != type) Fail(site, __LINE__, EINVAL);
      ++found->second->refs;
      return found->second;
    }
  }
  if (kGlobal.size() + name.size() > kMaxNameUnits) Fail(site, __LINE__, ENAMETOOLONG);

  // Opened outside the table's lock: opening may wait for another process
  // that is initialising the object, and other names need not wait with it.
  // What the table needs is allocated first, and once the object is open
  // (a descriptor, a mapping and a flock) any failure closes it again.
  auto object = std::make_unique<SharedObject>();
  object->key = name;
  std::string fullName = FullNameUtf8(name);
  object->fileName = FileNameFor(name, fullName);
  Wanted want{type, fullName, kObjectFixedSize + fullName.size()};
  OpenFile file = OpenObject(object->fileName, want, initialise, argument, site);
  object->base = file.base;
  object->size = want.size;
  object->fd = file.fd;
  object->type = type;
  object->refs = 1;
  SharedObject* existing = nullptr;
  try {
    if (gAfterOpen != nullptr) gAfterOpen();
    std::lock_guard<std::mutex> lock(table.mutex);
    // Opened while the exit closed the rest: not kept.
    if (!gClosing.load(std::memory_order_relaxed) || pthread_equal(pthread_self(), exitingThread)) {
      auto [at, inserted] = table.objects.try_emplace(object->key, object.get());
      if (inserted) return object.release();
      // Another thread opened it meanwhile: use that one.
      existing = at->second;
      if (existing->type == type) ++existing->refs;
    }
  } catch (...) {
    CloseObject(object.release());
    throw;
  }
  CloseObject(object.release());  // the table's copy, if there is one, holds a flock too
  if (existing == nullptr) WaitForTheEnd();
  if (existing->type != type) Fail(site, __LINE__, EINVAL);
  return existing;
}

void Release(SharedObject* object) noexcept {
  {
    std::lock_guard<std::mutex> lock(TheTable().mutex);
    if (--object->refs > 0) return;
    if (!object->inherited) {
      // A thread of ours still holds the mutex, or waits on the object: keep
      // it mapped (and in the table, so opening the name again finds it).
      if (InUseHere(object)) return;
      TheTable().objects.erase(object->key);
    }
  }
  CloseObject(object);
}

}  // namespace vel::ulmo::osdep::shared
