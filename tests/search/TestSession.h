// A session opened through the exported interface for the length of a test.
#ifndef TESSIK_TESTS_SEARCH_TESTSESSION_H_
#define TESSIK_TESTS_SEARCH_TESTSESSION_H_

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"
#include "tests/search/TestProtocol.h"

struct Session {
  Session() { EXPECT_EQ(Tessik_OpenSession(TX("test"), &id), TESSIK_OK); }
  ~Session() { Tessik_CloseSession(id); }
  int32_t Domain(const std::string& d) { return Tessik_LoadPluginByDomain(id, T(d).c_str()); }
  int32_t Path(const std::string& p) { return Tessik_LoadPluginByPath(id, T(p).c_str()); }
  void Load(std::initializer_list<const char*> domains) {
    for (const char* d : domains) ASSERT_EQ(Domain(d), TESSIK_OK) << d;
    ASSERT_EQ(Tessik_InitSearch(id), TESSIK_OK);
  }
  // The merged results, or what went wrong.
  TString Search(const testplugin::TestQuery& query, uint32_t param = 0) {
    TessikChar* text = nullptr;
    if (Tessik_SyncSearch(id, &query, &text, param) != TESSIK_OK) return TX("failed");
    TString result = text ? text : TX("null");
    Tessik_Release(text);
    return result;
  }
  uint32_t id = 0;
};

#endif  // TESSIK_TESTS_SEARCH_TESTSESSION_H_
