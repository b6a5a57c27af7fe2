#include "ulmo/osdep/Thread.h"

namespace vel::ulmo::osdep {

uint32_t Thread::Procedure(Thread* self) {
  self->exitCode_ = self->Run();
  return self->exitCode_;
}

}  // namespace vel::ulmo::osdep
