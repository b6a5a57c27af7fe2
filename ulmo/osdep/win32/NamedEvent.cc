#include <windows.h>

#include "ulmo/osdep/Mutex.h"
#include "ulmo/osdep/NamedEvent.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/win32/SharedObjectSecurity.h"

namespace vel::ulmo::osdep {

NamedEvent::NamedEvent(const WString& name, bool manualReset, bool initiallySignalled) {
  alignas(SECURITY_DESCRIPTOR) unsigned char descriptor[4096];
  MakeSharedObjectSecurity(descriptor, sizeof descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  handle_ = CreateEventW(&attributes, manualReset, initiallySignalled, MakeGlobalName(name).CStr());
  if (handle_ == nullptr) exception::ThrowAt(WinError(), "ulmo\\osdep\\NamedEvent", __LINE__);
}

NamedEvent::~NamedEvent() { CloseHandle(handle_); }

void NamedEvent::Set() { SetEvent(handle_); }

void NamedEvent::Reset() { ResetEvent(handle_); }

void NamedEvent::Wait() { Wait(INFINITE); }

bool NamedEvent::Wait(uint32_t milliseconds) {
  DWORD result = WaitForSingleObject(handle_, milliseconds);
  if (result == WAIT_TIMEOUT) return false;
  if (result != WAIT_OBJECT_0) exception::ThrowAt(WinError(), "ulmo\\osdep\\NamedEvent", __LINE__);
  return true;
}

}  // namespace vel::ulmo::osdep
