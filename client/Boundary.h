// The one place where failures inside the library become status codes.
//
// Every exported function runs its body through one of these guards, so no
// exception of any type crosses the exported interface. Running out of memory
// becomes TESSIK_E_OUT_OF_MEMORY; every other failure (a refused system call,
// a range check, anything unexpected) becomes TESSIK_E_FAILED, or a null
// pointer for the functions that return one.
#ifndef TESSIK_CLIENT_BOUNDARY_H_
#define TESSIK_CLIENT_BOUNDARY_H_

#include <new>
#include <utility>

#include "tessik/TessikClient.h"

namespace Tessik {

template <class Body>
int32_t GuardStatus(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return TESSIK_E_OUT_OF_MEMORY;
  } catch (...) {
    return TESSIK_E_FAILED;
  }
}

template <class Body>
auto GuardPointer(Body&& body) noexcept -> decltype(std::forward<Body>(body)()) {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace Tessik

#endif  // TESSIK_CLIENT_BOUNDARY_H_
