#include "ulmo/PerThread.h"

namespace vel::ulmo {

uint64_t ThisThreadToken() {
  static std::atomic<uint64_t> next{1};
  // Plain data: nothing to destroy when the thread ends or the library goes.
  thread_local uint64_t token = 0;
  if (token == 0) token = next.fetch_add(1, std::memory_order_relaxed);
  return token;
}

}  // namespace vel::ulmo
