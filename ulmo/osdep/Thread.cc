#include "ulmo/osdep/Thread.h"

namespace vel::ulmo::osdep {

uint32_t Thread::Procedure(Thread* self) {
  uint32_t code = self->Run();
  self->exitCode_ = code;
  self->returned_.store(true, std::memory_order_release);
  return code;
}

}  // namespace vel::ulmo::osdep
