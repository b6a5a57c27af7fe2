// The shared-memory objects behind the posix Mutex and NamedEvent. Windows
// gives every process the same kernel object for a "Global\" name; here each
// name is one file of the shared-memory file system, which every process maps.
//
// An object is a 64-byte header, the payload (the pthread mutex, or the event
// with its waiter slots) and the full name in UTF-8. The header is checked
// against the file size before anything else is read, so a stranger's file
// under one of our names is refused with EINVAL instead of crashing us.
//
// Every process holds a shared flock on each object it has open. The kernel
// drops it when the process dies, so "nobody else holds it" (an exclusive
// flock succeeds) is exactly "no user left on the machine": a closer that
// gets it removes the name, and an opener that gets it starts the object
// afresh, as Windows would create it anew after its last handle went, even
// if its creator died half-way or its users were killed. flock turns a
// shared lock into an exclusive one by dropping it first, and a failed try
// leaves none: so only a process done with an object tries, and it never
// takes the shared lock back (see CloseAtExit).
//
// Within a process every object is opened once: a reference-counted table
// maps names to open objects, because opening and mapping costs about 14 µs
// and the same names are opened again and again.
#ifndef VEL_ULMO_OSDEP_POSIX_SHAREDOBJECT_H_
#define VEL_ULMO_OSDEP_POSIX_SHAREDOBJECT_H_

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vel::ulmo::osdep::shared {

enum class ObjectType : uint32_t { kMutex = 1, kEvent = 2 };

constexpr uint32_t kMagic = 0x4F4B5354;  // "TSKO" in memory
// 2: the auto-reset event keeps one slot per waiter.
constexpr uint32_t kLayoutVersion = 2;
constexpr size_t kHeaderSize = 64;

struct Header {
  std::atomic<uint32_t> magic;  // 0 until the object is ready; written last
  uint32_t version;
  uint32_t type;       // ObjectType
  uint32_t abi;        // pointer size and pthread_mutex_t size of the creator
  uint64_t size;       // of the whole object
  uint32_t nameBytes;  // the full name follows the payload
};
static_assert(sizeof(Header) <= kHeaderSize);

// The event (see NamedEvent.cc). Bit 31 of the word is the signalled state
// of either kind. A manual-reset event also keeps bit 30 "someone may sleep"
// and a generation count in bits 0-29 that every Set advances. An auto-reset
// event registers each waiter in a slot that the waiting thread owns: its
// robust mutex is held for as long as the waiter is registered, so a waiter
// that died shows as its owner's death.
namespace event {
constexpr uint32_t kSignalled = 0x80000000u;
constexpr uint32_t kSleepers = 0x40000000u;
constexpr uint32_t kGenerationMask = 0x3FFFFFFFu;
constexpr size_t kWaiterSlots = 127;  // waiters at once on one auto-reset event

enum SlotState : uint32_t { kFree = 0, kWaiting = 1, kReleased = 2 };

struct alignas(64) Slot {
  pthread_mutex_t owner;  // held by the registered waiter
  std::atomic<uint32_t> state;
  uint32_t ticket;  // registration order: Set releases the longest waiting
};

struct State {
  std::atomic<uint32_t> word;
  uint32_t manualReset;   // fixed when the event is created
  uint32_t nextTicket;    // guarded by guard
  pthread_mutex_t guard;  // auto-reset: Set and registration, one at a time
  Slot slots[kWaiterSlots];
};
}  // namespace event

// Both kinds of object have the same size, so a name whose users are all gone
// can start afresh as the other kind in place.
constexpr size_t kPayloadSize = sizeof(event::State);
static_assert(sizeof(pthread_mutex_t) <= kPayloadSize && kPayloadSize % 64 == 0);

// One open object of this process. The table owns it; Mutex and NamedEvent
// only hold a reference and use Payload and heldHere.
struct SharedObject {
  void* Payload() const { return static_cast<char*>(base) + kHeaderSize; }

  // For a mutex: how many Locks threads of this process hold on it, written
  // only by the owner while it owns the mutex. A mapping must outlive the
  // owner's hold: a thread that dies holding a mutex whose memory is gone
  // cannot be recognised as dead, and the lock would stay taken for ever.
  std::atomic<uint32_t> heldHere{0};

  std::u16string key;    // the table key: the name without "Global\"
  std::string fileName;  // for shm_unlink
  void* base = nullptr;
  size_t size = 0;
  int fd = -1;
  ObjectType type = ObjectType::kMutex;
  uint32_t refs = 0;       // guarded by the table's mutex
  bool inherited = false;  // a copy fork gave us whose flock we could not take again
};

// Initialises a new object's payload; returns 0 or an errno value.
using Initialiser = int (*)(void* payload, const void* argument);

// Opens the object "Global\" + name of the given type, creating it when
// needed; `initialise` runs only for a new one. Throws WinError stamped with
// `site` when the system refuses, and with EINVAL when the name belongs to
// something else: the other type, another layout, or not ours at all.
SharedObject* Acquire(std::u16string_view name, ObjectType type, Initialiser initialise, const void* argument,
                      const char* site);

// Drops one reference; the last one in the process closes the object, and
// the last one on the machine removes its name. An object a thread of ours
// still holds or waits on stays open (and in the table) until the process
// opens it again or ends.
void Release(SharedObject* object) noexcept;

// Set once a normal exit has begun closing the process's objects.
extern std::atomic<bool> gClosing;
// Set when the exit cannot make every thread pass a barrier at once
// (membarrier is refused): then each Use pays for a fence of its own.
extern std::atomic<bool> gFenceEachUse;

// What one thread is inside an operation on, if anything. Every thread that
// operates on objects has one; a slot is reused once its thread has ended.
struct UseSlot {
  std::atomic<SharedObject*> object{nullptr};
  std::atomic<bool> taken{false};
  UseSlot* next = nullptr;  // written before the slot is published
};
UseSlot* ThisThreadsSlot();

// Marks one operation of a thread on an object (Lock, Wait, Set, Reset) from
// before it touches the object until it is done; a mutex it took stays
// marked by heldHere. The exit-time cleanup leaves an object in use alone,
// and once it has begun, a new operation on another thread waits for the
// process to end instead (the cleanup cannot know what it was about to do).
// The cleanup stores gClosing and then makes every thread of the process
// pass a full barrier: either it sees this thread's slot, or this thread
// sees gClosing. So this side, on every Lock, needs no fence of its own (a
// shared counter's two atomic updates made an uncontended Lock and Unlock
// about 9 ns, 40%, slower).
class Use {
 public:
  explicit Use(SharedObject* object) : slot_(ThisThreadsSlot()) {
    if (gFenceEachUse.load(std::memory_order_relaxed)) {
      slot_->object.exchange(object, std::memory_order_seq_cst);
    } else {
      slot_->object.store(object, std::memory_order_relaxed);
      std::atomic_signal_fence(std::memory_order_seq_cst);
    }
    if (gClosing.load(std::memory_order_seq_cst)) AfterClosing();
  }
  ~Use() { slot_->object.store(nullptr, std::memory_order_release); }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;

 private:
  void AfterClosing();
  UseSlot* slot_;  // this thread's own; only its atomic `object` is read by others
};

// For tests: when set, runs after Acquire has opened an object and before the
// table records it, so a test can make that step throw.
extern void (*gAfterOpen)();

// The shm_open name of the object whose full name (as MakeGlobalName gives
// it) is `fullName`: "/tessik." and the name without "Global\", in UTF-8,
// with "/", "%", control characters and a leading "." escaped as %XX. A name
// too long for one file name keeps its beginning and ends in "%H" and a
// 128-bit hash of the whole name; "%H" never occurs in an escaped name.
std::string ObjectName(std::u16string_view fullName);

}  // namespace vel::ulmo::osdep::shared

#endif  // VEL_ULMO_OSDEP_POSIX_SHAREDOBJECT_H_
