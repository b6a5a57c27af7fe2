#include <windows.h>

#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/win32/SharedObjectSecurity.h"

namespace vel::ulmo::osdep {

Mutex::Mutex(const WString& name) {
  alignas(SECURITY_DESCRIPTOR) unsigned char descriptor[4096];
  MakeSharedObjectSecurity(descriptor, sizeof descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  handle_ = CreateMutexW(&attributes, FALSE, MakeGlobalName(name).CStr());
  if (handle_ == nullptr) exception::ThrowAt(WinError(), "ulmo\\osdep\\Mutex", __LINE__);
}

Mutex::~Mutex() { CloseHandle(handle_); }

void Mutex::Lock() {
  DWORD result = WaitForSingleObject(handle_, INFINITE);
  // An owner that ended while holding it hands it over: that is acquired too.
  if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
    exception::ThrowAt(WinError(), "ulmo\\osdep\\Mutex", __LINE__);
  }
}

void Mutex::Unlock() { ReleaseMutex(handle_); }

}  // namespace vel::ulmo::osdep
