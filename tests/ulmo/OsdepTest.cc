// Shared libraries and the module directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/common/ProcessTag.h"
#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Path.h"
#include "ulmo/osdep/SharedLibrary.h"

namespace os = vel::ulmo::osdep;
namespace fs = std::filesystem;
using vel::ulmo::AString;
using vel::ulmo::WString;

namespace {

WString W(const std::string& s) { return WString(AString(s.c_str())); }
std::string N(const WString& w) { return AString(w).CStr(); }

using Answer = int (*)();
int Call(const os::SharedLibrary& lib) {
  return reinterpret_cast<Answer>(lib.GetSymbol(AString("tessik_test_answer"), false))();
}

// Restores the current directory when a test changed it.
struct CurrentDirectory {
  fs::path saved = fs::current_path();
  ~CurrentDirectory() { fs::current_path(saved); }
};

const std::string kSuffix = N(os::SharedLibrary::ApplySuffixRule(W("x"))).substr(1);
const std::string kSep(1, static_cast<char>(os::path::Separator()));

}  // namespace

TEST(SharedLibrary, FindsLibrariesAsTheWindowsLoaderWould) {
  CurrentDirectory restore;
  std::string dir = N(os::GetModuleDirectory(nullptr));  // the executable's
  EXPECT_TRUE(os::path::IsAbsolutePath(W(dir)) && dir.ends_with(kSep)) << dir;
  fs::path exeDir = dir;
  ASSERT_TRUE(fs::exists(exeDir / ("osdep_testlib" + kSuffix)));
  EXPECT_EQ(N(os::path::MakeAbsolutePath(W("."))), fs::current_path().string());
  // The temporary folder is every build tree's and every lane's: a name of
  // this process's own (gtest's seed is the clock's, and may repeat).
  fs::path elsewhere = fs::temp_directory_path() / ("tessik-loader-" + ProcessTag());
  fs::create_directories(elsewhere / "Sub");
  fs::current_path(elsewhere);
  // The same relative name in the current directory, a different library:
  // the executable's directory comes first.
  fs::copy_file(exeDir / ("osdep_testlib" + kSuffix), elsewhere / "Sub" / ("osdep_sublib" + kSuffix),
                fs::copy_options::overwrite_existing);

  // Bare name and relative path: found in the executable's directory.
  os::SharedLibrary bare(W("osdep_testlib")), sub(W("Sub" + kSep + "osdep_sublib"));
  EXPECT_EQ(Call(bare), 42);  // throws when not loaded
  EXPECT_EQ(Call(sub), 7);
  EXPECT_EQ(N(os::GetModuleDirectory(sub.GetModule())), (exeDir / "Sub").string() + kSep);

  // Only in the current directory: found there, last.
  fs::copy_file(exeDir / "Sub" / ("osdep_sublib" + kSuffix), elsewhere / "Sub" / ("cwd_only" + kSuffix),
                fs::copy_options::overwrite_existing);
  EXPECT_EQ(Call(os::SharedLibrary(W("Sub" + kSep + "cwd_only"))), 7);  // unloaded before its folder goes
  fs::current_path(restore.saved);
  std::error_code ignored;
  fs::remove_all(elsewhere, ignored);

  EXPECT_TRUE(os::SharedLibrary(W((exeDir / ("osdep_testlib" + kSuffix)).string())).IsLoaded());
}

TEST(SharedLibrary, SymbolsAndFailures) {
  // Bare names load with the platform's suffix (below); a name with a dot, or none, is kept.
  for (const std::string& kept : {std::string("lib.so"), std::string(), "Plugins" + kSep}) {
    EXPECT_EQ(N(os::SharedLibrary::ApplySuffixRule(W(kept))), kept);
  }
  os::SharedLibrary lib(W("osdep_testlib"));
  ASSERT_TRUE(lib.IsLoaded());
  EXPECT_EQ(lib.GetSymbol(AString("no_such_symbol"), true), nullptr);
  try {
    lib.GetSymbol(AString("no_such_symbol"), false);
    FAIL();
  } catch (const os::WinError& e) {
    EXPECT_STREQ(e.file, "ulmo\\osdep\\SharedLibrary");
#if defined(_WIN32)
    // GetLastError's number, the system's text cut before its full stop and line end.
    std::string text = e.what();
    EXPECT_EQ(e.GetSystemError(), 127u);
    EXPECT_TRUE(!text.empty() && text.back() != '.' && text.find('\r') == std::string::npos) << text;
#else
    EXPECT_NE(e.GetSystemError(), 0u);
#endif
  }
  EXPECT_THROW(lib.Open(W("other")), vel::ulmo::exception::InvalidOperation);

  os::SharedLibrary missing(W("no_such_library_anywhere"));
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_EQ(missing.GetSymbol(AString("x"), true), nullptr);
  try {
    missing.GetSymbol(AString("x"), false);
    FAIL();
  } catch (const os::WinError& e) {
    EXPECT_STREQ(e.what(), "library not loaded");
    EXPECT_EQ(e.GetSystemError(), 9999u);
  }
  // A path is set even though its load failed.
  EXPECT_THROW(missing.Open(W("osdep_testlib")), vel::ulmo::exception::InvalidOperation);

  os::SharedLibrary later;
  later.Open(W("osdep_testlib"));
  EXPECT_TRUE(later.IsLoaded());
  later.Unload();
  EXPECT_FALSE(later.IsLoaded());
  later.Load();
  EXPECT_EQ(Call(later), 42);
  EXPECT_FALSE(os::SharedLibrary(W("not_a_library")).IsLoaded());  // not a library at all
}
