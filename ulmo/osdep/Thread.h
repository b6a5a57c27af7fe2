// Thread: a base class whose Run() becomes the body of a system thread.
// The owner starts it and joins it; destruction neither waits for nor
// detaches the thread, so an owner always joins before it goes.
#ifndef VEL_ULMO_OSDEP_THREAD_H_
#define VEL_ULMO_OSDEP_THREAD_H_

#include <atomic>
#include <cstdint>

namespace vel::ulmo::osdep {

class Thread {
 public:
  Thread() = default;
  virtual ~Thread() = default;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // The thread's body; its result is the thread's exit code.
  virtual uint32_t Run() = 0;

  // Starts a thread (default stack size) that runs Run(). Throws SystemError
  // ("ulmo\osdep\Thread") when no thread is created.
  void Start();
  // Waits without a time limit for the thread to end, keeps its exit code,
  // releases the handle and clears `started`. Call only when started.
  void Join();

  bool IsStarted() const { return started_; }
  // Whether a started thread is no longer running: its Run returned, or the
  // system ended it (Windows ends every other thread of an exiting process
  // before the libraries' teardown runs). Call only when started.
  bool HasEnded() const;
  uint32_t GetExitCode() const { return exitCode_; }
  uint32_t GetThreadId() const { return threadId_; }

  // Suspends the calling thread; 0 only yields.
  static void Sleep(uint32_t milliseconds);

 private:
  static uint32_t Procedure(Thread* self);

  void* handle_ = nullptr;  // the platform's thread handle, null before Start
  uint32_t threadId_ = 0;
  bool started_ = false;
  uint32_t exitCode_ = 0;
  std::atomic<bool> returned_{false};  // set by the thread when Run has returned

  friend struct ThreadEntry;
};

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_THREAD_H_
