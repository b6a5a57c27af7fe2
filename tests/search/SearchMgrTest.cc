// The session registry and the plugin library cache, from inside.
#include <gtest/gtest.h>

#include "client/SessionMgr.h"
#include "search/PluginMgr.h"
#include "search/SearchMgr.h"
#include "ulmo/osdep/Path.h"
#include "tests/common/TestText.h"

using Tessik::CPluginMgr;
using Tessik::CSearchMgr;
using Tessik::CSessionMgr;
using vel::ulmo::AString;
using vel::ulmo::WString;

TEST(SessionRegistry, IdentifiersCountUpWrapAndSkipUsedOnes) {
  CSessionMgr& registry = CSessionMgr::Instance();
  EXPECT_EQ(registry.AddSession(nullptr, nullptr), TESSIK_E_NULL_ARGUMENT);

  uint32_t a = 0, b = 0;
  ASSERT_EQ(registry.AddSession(new CSearchMgr(nullptr), &a), TESSIK_OK);
  ASSERT_EQ(registry.AddSession(new CSearchMgr(TX("named")), &b), TESSIK_OK);
  EXPECT_EQ(b, a + 1);
  CSearchMgr* found = nullptr;
  ASSERT_EQ(registry.GetSearchMgr(b, &found), TESSIK_OK);
  EXPECT_EQ(found->GetSessionId(), b);

  // Wrap: from 0xFFFFFFFF the next is the smallest free identifier above 0.
  registry.SetLastIssuedForTesting(0xFFFFFFFEu);
  uint32_t top = 0, wrapped = 0;
  ASSERT_EQ(registry.AddSession(new CSearchMgr(nullptr), &top), TESSIK_OK);
  EXPECT_EQ(top, 0xFFFFFFFFu);
  ASSERT_EQ(registry.AddSession(new CSearchMgr(nullptr), &wrapped), TESSIK_OK);
  uint32_t smallestFree = 1;
  while (smallestFree == a || smallestFree == b) ++smallestFree;
  EXPECT_EQ(wrapped, smallestFree);

  // No identifier written, but registered all the same.
  CSearchMgr* silent = new CSearchMgr(nullptr);
  ASSERT_EQ(registry.AddSession(silent, nullptr), TESSIK_OK);
  EXPECT_NE(silent->GetSessionId(), 0u);

  // 0 is refused before any look-up and stays registered.
  EXPECT_EQ(registry.RemoveSession(0), TESSIK_E_NO_SESSION);
  found = reinterpret_cast<CSearchMgr*>(1);
  EXPECT_EQ(registry.GetSearchMgr(0, &found), TESSIK_E_NO_SESSION);
  EXPECT_EQ(found, nullptr);

  for (uint32_t id : {a, b, top, wrapped, silent->GetSessionId()}) EXPECT_EQ(registry.RemoveSession(id), TESSIK_OK);
  found = reinterpret_cast<CSearchMgr*>(1);
  EXPECT_EQ(registry.GetSearchMgr(a, &found), TESSIK_E_NO_SESSION);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(registry.RemoveSession(a), TESSIK_E_NO_SESSION);
}

TEST(PluginCache, OneLibraryPerPathWhateverItsCase) {
  CPluginMgr& cache = CPluginMgr::Instance();
  EXPECT_EQ(cache.AcquireLibrary(WString(), nullptr), TESSIK_E_NULL_ARGUMENT);
  WString sep(1, vel::ulmo::osdep::path::Separator());
  WString path = WString(AString("Plugins")) + sep + WString(AString("Alpha"));
  WString upper = WString(AString("PLUGINS")) + sep + WString(AString("ALPHA"));
  vel::ulmo::osdep::SharedLibrary *first = nullptr, *second = nullptr;
  ASSERT_EQ(cache.AcquireLibrary(path, &first), TESSIK_OK);
  ASSERT_EQ(cache.AcquireLibrary(upper, &second), TESSIK_OK);
  EXPECT_EQ(first, second);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->IsLoaded());

  vel::ulmo::osdep::SharedLibrary* none = reinterpret_cast<vel::ulmo::osdep::SharedLibrary*>(1);
  EXPECT_EQ(cache.AcquireLibrary(WString(AString("Plugins")) + sep + WString(AString("Missing")), &none),
            TESSIK_E_PLUGIN_LOAD_FAILED);
  EXPECT_EQ(none, nullptr);
}
