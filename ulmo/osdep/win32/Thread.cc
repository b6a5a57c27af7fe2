#include <windows.h>
#include <process.h>

#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Thread.h"

namespace vel::ulmo::osdep {

struct ThreadEntry {
  static unsigned __stdcall Start(void* self) { return Thread::Procedure(static_cast<Thread*>(self)); }
};

void Thread::Start() {
  started_ = true;
  returned_.store(false, std::memory_order_relaxed);
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, &ThreadEntry::Start, this, CREATE_SUSPENDED, &id);
  if (handle == 0) {
    started_ = false;
    exception::ThrowAt(WinError(), "ulmo\\osdep\\Thread", __LINE__);
  }
  handle_ = reinterpret_cast<void*>(handle);
  threadId_ = id;
  if (ResumeThread(handle_) == static_cast<DWORD>(-1)) {
    WinError error;
    CloseHandle(handle_);
    handle_ = nullptr;
    started_ = false;
    exception::ThrowAt(error, "ulmo\\osdep\\Thread", __LINE__);
  }
}

void Thread::Join() {
  WaitForSingleObject(handle_, INFINITE);  // its result is not needed
  DWORD code = 0;
  if (GetExitCodeThread(handle_, &code)) exitCode_ = code;
  CloseHandle(handle_);
  handle_ = nullptr;
  started_ = false;
}

bool Thread::HasEnded() const { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

void Thread::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace vel::ulmo::osdep
