// One release function exported under three names. Each object that crosses
// the boundary derives singly from Tessik::IObject, so its address is the
// IObject's address and its virtual destructor deletes it, whatever its kind.
#include "client/Boundary.h"
#include "tessik/Object.h"
#include "tessik/TessikClient.h"

extern "C" TESSIK_API int32_t Tessik_ReleaseQuery(IQuery* object) {
  // A destructor may not throw; the guard keeps even a faulty one inside.
  return Tessik::GuardStatus([object] {
    delete reinterpret_cast<Tessik::IObject*>(object);
    return TESSIK_OK;
  });
}

// The other two names resolve to the same code and the same address; their
// parameter types differ only in name, which the alias check dislikes. They
// say nothrow as their target does: the mingw compiler finds the target
// cannot throw and warns about aliases that claim less.
#if defined(__clang__)
// clang (the fuzzing build) has no alias check, and reads nothrow as
// a noexcept promise that the header's declarations do not make.
extern "C" TESSIK_API int32_t Tessik_ReleaseHit(IHit* object) __attribute__((alias("Tessik_ReleaseQuery")));
extern "C" TESSIK_API int32_t Tessik_ReleaseHitList(IHitList* object) __attribute__((alias("Tessik_ReleaseQuery")));
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattribute-alias"
extern "C" TESSIK_API int32_t Tessik_ReleaseHit(IHit* object) __attribute__((alias("Tessik_ReleaseQuery"), nothrow));
extern "C" TESSIK_API int32_t Tessik_ReleaseHitList(IHitList* object)
    __attribute__((alias("Tessik_ReleaseQuery"), nothrow));
#pragma GCC diagnostic pop
#endif
