// Sessions and synchronous searches through the exported interface, with
// real plugin libraries, as an application sees them.
#include <filesystem>

#include "tests/common/ProcessTag.h"
#include "tests/search/TestSession.h"

namespace {

#if defined(_WIN32)
const std::string kPlugins = "Plugins\\", kSuffix = ".dll";
#else
const std::string kPlugins = "Plugins/", kSuffix = ".so";
#endif

const TessikChar kA[] = TX("<?xml version=\"1.0\"?><Results><Result id=\"A\"/></Results>");
const TessikChar kB[] = TX("<?xml version=\"1.0\"?><Results><Result id=\"B\"/></Results>");
const TessikChar kG[] = TX("<results><RESULT id=\"G\"/></results>");

}  // namespace

TEST(Sessions, EveryExportRefusesUnknownIdentifiersAndNullsComeFirst) {
  uint32_t closed = 0;
  ASSERT_EQ(Tessik_OpenSession(nullptr, &closed), TESSIK_OK);  // a null name is the empty one
  ASSERT_EQ(Tessik_CloseSession(closed), TESSIK_OK);
  testplugin::TestQuery query;
  TessikChar* text = nullptr;
  auto callback = [](uint32_t, int32_t, TessikChar*) {};
  for (uint32_t id : {0u, closed}) {
    EXPECT_EQ(Tessik_CloseSession(id), TESSIK_E_NO_SESSION);
    EXPECT_EQ(Tessik_LoadPluginByDomain(id, T("Alpha").c_str()), TESSIK_E_NO_SESSION);
    EXPECT_EQ(Tessik_LoadPluginByPath(id, T(kPlugins + "Alpha").c_str()), TESSIK_E_NO_SESSION);
    EXPECT_EQ(Tessik_InitSearch(id), TESSIK_E_NO_SESSION);
    EXPECT_EQ(Tessik_SyncSearch(id, &query, &text, 0), TESSIK_E_NO_SESSION);
    EXPECT_EQ(Tessik_AsyncSearch(id, &query, callback, 0, 1), TESSIK_E_NO_SESSION);
    EXPECT_EQ(Tessik_AbortAsyncSearch(id), TESSIK_E_NO_SESSION);
    // Null arguments are refused before the session is looked up.
    EXPECT_EQ(Tessik_LoadPluginByPath(id, nullptr), TESSIK_E_NULL_ARGUMENT);
    EXPECT_EQ(Tessik_SyncSearch(id, nullptr, &text, 0), TESSIK_E_NULL_ARGUMENT);
    EXPECT_EQ(Tessik_SyncSearch(id, &query, nullptr, 0), TESSIK_E_NULL_ARGUMENT);
    EXPECT_EQ(Tessik_AsyncSearch(id, nullptr, callback, 0, 1), TESSIK_E_NULL_ARGUMENT);
    EXPECT_EQ(Tessik_AsyncSearch(id, &query, nullptr, 0, 1), TESSIK_E_NULL_ARGUMENT);
  }
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(Tessik_OpenSession(TX("x"), nullptr), TESSIK_E_FAILED);
}

TEST(Plugins, LoadingByDomainAndPathWithEveryFailure) {
  Session s;
  EXPECT_EQ(s.Domain("Alpha"), TESSIK_OK);
  EXPECT_EQ(s.Path(kPlugins + "beta"), TESSIK_OK);
  EXPECT_EQ(s.Domain("Missing"), TESSIK_E_PLUGIN_LOAD_FAILED);
  EXPECT_EQ(s.Domain("NotALibrary"), TESSIK_E_PLUGIN_LOAD_FAILED);
  EXPECT_EQ(Tessik_LoadPluginByDomain(s.id, nullptr), TESSIK_E_PLUGIN_LOAD_FAILED);  // "Plugins/" names no library
  // Missing an entry point: the library stays cached, and the answer stays the same.
  EXPECT_EQ(s.Domain("NoAbort"), TESSIK_E_PLUGIN_ENTRY_MISSING);
  EXPECT_EQ(s.Domain("NoAbort"), TESSIK_E_PLUGIN_ENTRY_MISSING);
  // The same name again, by an absolute path: no error, the first one stays
  // with the handle its InitSearch gave it.
  testplugin::TestQuery query{.documents = {kA}};
  ASSERT_EQ(Tessik_InitSearch(s.id), TESSIK_OK);
  s.Search(query);
  void* handle = query.logs[0]->lastHandle;
  std::string absolute = (std::filesystem::current_path() / "Plugins" / ("Alpha" + kSuffix)).string();
  EXPECT_EQ(s.Path(absolute), TESSIK_OK);
  EXPECT_EQ(s.Path(kPlugins + "ALPHA"), TESSIK_OK);  // found in the cache whatever its case

  int searches = query.logs[0]->sync;
  EXPECT_EQ(s.Search(query), kA);  // Alpha ran once: its document is not doubled
  EXPECT_EQ(query.logs[0]->sync.load(), searches + 1);
  EXPECT_EQ(query.logs[0]->lastHandle.load(), handle);
}

// File names are UTF-8 on Linux whatever the locale (the locale lanes run
// this under LANG=C, C.UTF-8 and no locale at all), UTF-16 on Windows: a
// plugin in a folder named beyond ASCII, and beyond the BMP, loads by path
// and by domain.
TEST(Plugins, FolderNamedBeyondAscii) {
  namespace fs = std::filesystem;
  // A folder of this run's own: the locale lanes run this test side by side
  // with the plain run, and one copying the library while another loads it
  // or removes it failed.
  const std::string folder = "D\xc3\xb6k\xc3\xbcmanlar\xf0\x9f\x94\x8d-" + ProcessTag();
  const char file[] = "\xc3\x85lpha\xf0\x9f\x94\x8d";
  const fs::path folderName(reinterpret_cast<const char8_t*>(folder.c_str()));
  fs::path dir = fs::current_path() / "Plugins" / folderName;
  fs::create_directories(dir);
  // Removed first, in case an earlier process of the same id left it: the
  // mingw runtime takes any two files for one (it compares inode numbers,
  // all 0 on Windows) and refuses to overwrite.
  fs::path copy = dir / fs::path(reinterpret_cast<const char8_t*>((std::string(file) + kSuffix).c_str()));
  fs::remove(copy);
  fs::copy_file(fs::current_path() / "Plugins" / ("Alpha" + kSuffix), copy);
  auto wide = [](const fs::path& p) {
    std::u16string u = p.u16string();
    return TString(u.begin(), u.end());
  };
  TString name = wide(fs::path(reinterpret_cast<const char8_t*>(file)));
  TString inFolder = wide(folderName) + TessikChar(fs::path::preferred_separator) + name;

  testplugin::TestQuery query{.documents = {kA}};
  Session byPath, byDomain;
  EXPECT_EQ(Tessik_LoadPluginByPath(byPath.id, wide(dir / fs::path(name.begin(), name.end())).c_str()), TESSIK_OK);
  EXPECT_EQ(Tessik_LoadPluginByDomain(byDomain.id, inFolder.c_str()), TESSIK_OK);
  EXPECT_EQ(byPath.Search(query), kA);
  EXPECT_EQ(byDomain.Search(query), kA);
  // Windows keeps the file of a loaded library, and the library stays
  // cached: there the folder stays behind.
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

TEST(SyncSearch, PluginsRunInNameOrderAndMergeIntoTheFirstDocument) {
  Session s;
  s.Load({"beta", "Silent", "Gamma", "Alpha"});
  testplugin::TestQuery query{.documents = {kA, kB, kG}};
  EXPECT_EQ(s.Search(query, 77),
            TX("<?xml version=\"1.0\"?><Results><Result id=\"A\"/><Result id=\"B\"/><RESULT id=\"G\"/></Results>"));
  // The query pointer and the search parameter reach the plugins unchanged.
  EXPECT_EQ(query.logs[2]->lastQuery.load(), &query);
  EXPECT_EQ(query.logs[2]->lastParam.load(), 77u);
  EXPECT_EQ(query.logs[3]->sync.load(), 1);  // Silent ran and returned nothing

  testplugin::TestQuery onlySecond{.documents = {nullptr, kB}};
  EXPECT_EQ(s.Search(onlySecond), kB);
  EXPECT_EQ(s.Search(testplugin::TestQuery()), TX(""));
  Session none;  // no plugins at all: an empty text all the same
  EXPECT_EQ(Tessik_InitSearch(none.id), TESSIK_OK);
  EXPECT_EQ(none.Search(onlySecond), TX(""));
}

TEST(Plugins, OneLibraryServesTwoSessionsWithTheirOwnHandles) {
  Session one, two;
  ASSERT_EQ(one.Domain("Gamma"), TESSIK_OK);
  ASSERT_EQ(two.Domain("Gamma"), TESSIK_OK);
  testplugin::TestQuery query;
  one.Search(query);
  const testplugin::PluginLog* log = query.logs[2];
  ASSERT_NE(log, nullptr);
  int inits = log->init;
  ASSERT_EQ(Tessik_InitSearch(one.id), TESSIK_OK);
  void* handleOne = log->lastHandle;
  EXPECT_EQ(log->lastSessionId.load(), one.id);
  ASSERT_EQ(Tessik_InitSearch(two.id), TESSIK_OK);
  void* handleTwo = log->lastHandle;
  EXPECT_EQ(log->lastSessionId.load(), two.id);
  EXPECT_NE(handleOne, handleTwo);
  EXPECT_EQ(log->init.load(), inits + 2);

  testplugin::TestQuery again;
  two.Search(again);
  EXPECT_EQ(again.logs[2], log);  // the same module: loaded once per process
  EXPECT_EQ(log->lastHandle.load(), handleTwo);

  int finishes = log->finish;
  ASSERT_EQ(Tessik_CloseSession(one.id), TESSIK_OK);
  EXPECT_EQ(log->finish.load(), finishes + 1);
  EXPECT_EQ(log->lastHandle.load(), handleOne);
  one.id = 0;
}
