// What an application sees of memory and release at the boundary.
#include <gtest/gtest.h>

#include "tessik/Object.h"
#include "tessik/TessikClient.h"

namespace {

TEST(Allocate, ZeroFilledAndArgumentChecksInOrder) {
  // Fresh heap memory is zero anyway: a block of the same size is dirtied and
  // freed first, so the next allocation most likely gets it back and a
  // missing zero fill shows without a sanitizer's fill pattern.
  for (uint32_t count : {1u, 24u, 4096u}) {
    TessikChar* dirty = nullptr;
    ASSERT_EQ(Tessik_Allocate(&dirty, count), TESSIK_OK);
    for (uint32_t i = 0; i < count; ++i) dirty[i] = static_cast<TessikChar>(0x5A5A);
    EXPECT_EQ(Tessik_Release(dirty), TESSIK_OK);
    TessikChar* p = nullptr;
    ASSERT_EQ(Tessik_Allocate(&p, count), TESSIK_OK);
    for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(p[i], 0) << i << " of " << count;
    EXPECT_EQ(Tessik_Release(p), TESSIK_OK);
  }

  // A refused call leaves the caller's pointer as it was.
  TessikChar sentinel = 7;
  TessikChar* untouched = &sentinel;
  EXPECT_EQ(Tessik_Allocate(&untouched, 0), TESSIK_E_ZERO_COUNT);
  EXPECT_EQ(untouched, &sentinel);
  // The null check comes before the count check.
  EXPECT_EQ(Tessik_Allocate(nullptr, 5), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(Tessik_Allocate(nullptr, 0), TESSIK_E_NULL_ARGUMENT);
  EXPECT_EQ(Tessik_Release(nullptr), TESSIK_OK);
}

// Stands in for any boundary object: what matters is the virtual destructor.
struct Tracked : Tessik::IObject {
  explicit Tracked(int* destroyed) : destroyed(destroyed) {}
  ~Tracked() override { ++*destroyed; }
  int* destroyed;
};

TEST(Release, EachNameDestroysAnyObjectAndAcceptsNull) {
  int destroyed = 0;
  auto object = [&] { return static_cast<Tessik::IObject*>(new Tracked(&destroyed)); };
  EXPECT_EQ(Tessik_ReleaseQuery(reinterpret_cast<IQuery*>(object())), 0);
  EXPECT_EQ(Tessik_ReleaseHit(reinterpret_cast<IHit*>(object())), 0);
  EXPECT_EQ(Tessik_ReleaseHitList(reinterpret_cast<IHitList*>(object())), 0);
  EXPECT_EQ(destroyed, 3);
  EXPECT_EQ(Tessik_ReleaseQuery(nullptr), 0);
  EXPECT_EQ(Tessik_ReleaseHit(nullptr), 0);
  EXPECT_EQ(Tessik_ReleaseHitList(nullptr), 0);
}

}  // namespace
