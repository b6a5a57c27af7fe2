// NamedEvent: a machine-wide named event, manual- or auto-reset. An
// auto-reset event releases one waiter per Set and clears itself when a wait
// succeeds; a manual-reset event releases every waiter until Reset.
#ifndef VEL_ULMO_OSDEP_NAMEDEVENT_H_
#define VEL_ULMO_OSDEP_NAMEDEVENT_H_

#include "ulmo/StringBase.h"

namespace vel::ulmo::osdep {

class NamedEvent {
 public:
  // Creates or opens the event MakeGlobalName(name); an existing event keeps
  // its own properties. Throws WinError ("ulmo\osdep\NamedEvent").
  NamedEvent(const WString& name, bool manualReset, bool initiallySignalled);
  ~NamedEvent();
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  void Set();
  void Reset();
  // Waits without a time limit; throws WinError when the wait fails.
  void Wait();
  // Waits at most `milliseconds`: true when the event released this waiter,
  // false when the time ran out. Throws WinError when the wait fails.
  bool Wait(uint32_t milliseconds);

 private:
  void* handle_;
};

}  // namespace vel::ulmo::osdep

#endif  // VEL_ULMO_OSDEP_NAMEDEVENT_H_
