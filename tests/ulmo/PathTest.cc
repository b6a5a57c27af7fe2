#include <gtest/gtest.h>

#include <string>

#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/Path.h"
#include "tests/common/TestText.h"

namespace win = vel::ulmo::osdep::path::windows;
namespace px = vel::ulmo::osdep::path::posix;
using vel::ulmo::AString;
using vel::ulmo::WString;

namespace {
WString W(const TString& s) { return WString(s.data(), static_cast<uint32_t>(s.size())); }
TString S(const WString& s) { return TString(s.CStr(), s.Length()); }
}  // namespace

TEST(PathWindows, Absolute) {
  for (auto p : {TX("C:\\x"), TX("AB:\\x"), TX("\\\\server\\share"), TX("c:\\")})
    EXPECT_TRUE(win::IsAbsolutePath(W(p))) << (char)p[0];
  for (auto p : {TX(""), TX("C:x"), TX("C:"), TX("\\x"), TX("ABC:\\x"), TX("1:\\x"), TX("x")})
    EXPECT_FALSE(win::IsAbsolutePath(W(p)));
  EXPECT_TRUE(win::IsAbsolutePath(AString("D:\\dir")));
  EXPECT_FALSE(win::IsAbsolutePath(AString("dir\\x")));
}

TEST(PathWindows, CombineParentFileName) {
  EXPECT_EQ(S(win::CombinePath(W(TX("C:\\base")), W(TX("x")))), TX("C:\\base\\x"));
  EXPECT_EQ(S(win::CombinePath(W(TX("C:\\base\\")), W(TX("x")))), TX("C:\\base\\x"));
  EXPECT_EQ(S(win::CombinePath(W(TX("C:\\base")), W(TX("D:\\y")))), TX("D:\\y"));
  EXPECT_EQ(S(win::CombinePath(W(TX("")), W(TX("x")))), TX("x"));
  EXPECT_STREQ(win::CombinePath(AString("a"), AString("b")).CStr(), "a\\b");

  const TString parents[][2] = {{TX("C:\\dir\\app.exe"), TX("C:\\dir")},
                                {TX("C:\\app.exe"), TX("C:\\")},
                                {TX("\\\\server\\share\\x"), TX("\\\\server\\share")},
                                {TX("C:\\"), TX("C:\\")},
                                {TX("app.exe"), TX("")},
                                {TX("C:\\a\\\\b"), TX("C:\\a")},
                                {TX("a\\b"), TX("a")}};
  for (auto& row : parents) EXPECT_EQ(S(win::GetParentPath(W(row[0]))), row[1]);

  EXPECT_EQ(S(win::GetFileName(W(TX("C:\\Search\\Plugins\\Docs.dll")))), TX("Docs.dll"));
  EXPECT_EQ(S(win::GetFileName(W(TX("Docs.dll")))), TX("Docs.dll"));
  EXPECT_EQ(S(win::GetFileName(W(TX("C:")))), TX(""));
  EXPECT_EQ(S(win::GetFileName(W(TX("AB:")))), TX(""));
  EXPECT_EQ(S(win::GetFileName(W(TX("dir\\")))), TX(""));
}

TEST(PathWindows, AppendSeparator) {
  WString root = W(TX("C:\\")), dir = W(TX("C:\\dir")), empty;
  win::AppendSeparator(root), win::AppendSeparator(dir);
  EXPECT_EQ(S(root), TX("C:\\"));
  EXPECT_EQ(S(dir), TX("C:\\dir\\"));
  try {
    win::AppendSeparator(empty);
    FAIL();
  } catch (const vel::ulmo::exception::InvalidArgument& e) {
    EXPECT_STREQ(e.file, "ulmo\\osdep\\path");
  }
}

TEST(PathPosix, AllOperations) {
  EXPECT_TRUE(px::IsAbsolutePath(W(TX("/usr/lib"))));
  EXPECT_FALSE(px::IsAbsolutePath(W(TX("Plugins/x.so"))));
  EXPECT_FALSE(px::IsAbsolutePath(W(TX(""))));
  EXPECT_EQ(S(px::CombinePath(W(TX("/base")), W(TX("x")))), TX("/base/x"));
  EXPECT_EQ(S(px::CombinePath(W(TX("/base/")), W(TX("x")))), TX("/base/x"));
  EXPECT_EQ(S(px::CombinePath(W(TX("/base")), W(TX("/y")))), TX("/y"));
  EXPECT_EQ(S(px::CombinePath(W(TX("")), W(TX("x")))), TX("x"));
  const TString parents[][2] = {{TX("/opt/app/bin"), TX("/opt/app")},
                                {TX("/bin"), TX("/")},
                                {TX("/"), TX("/")},
                                {TX("app"), TX("")},
                                {TX("/a//b"), TX("/a")},
                                {TX("a/b"), TX("a")}};
  for (auto& row : parents) EXPECT_EQ(S(px::GetParentPath(W(row[0]))), row[1]);
  EXPECT_EQ(S(px::GetFileName(W(TX("/x/Plugins/Docs.so")))), TX("Docs.so"));
  EXPECT_EQ(S(px::GetFileName(W(TX("Docs")))), TX("Docs"));
  WString p = W(TX("/x")), empty;
  px::AppendSeparator(p);
  EXPECT_EQ(S(p), TX("/x/"));
  EXPECT_THROW(px::AppendSeparator(empty), vel::ulmo::exception::InvalidArgument);
}

// The functions in `path` itself are the platform's style: on Windows a drive
// path is absolute and a "/" path is not; elsewhere the other way round.
TEST(PathNative, IsThePlatformsStyle) {
  namespace path = vel::ulmo::osdep::path;
#if defined(_WIN32)
  const bool windows = true;
#else
  const bool windows = false;
#endif
  EXPECT_EQ(path::Separator(), windows ? win::Separator() : px::Separator());
  EXPECT_EQ(path::IsAbsolutePath(W(TX("C:\\x"))), windows);
  EXPECT_EQ(path::IsAbsolutePath(AString("/x")), !windows);
  EXPECT_EQ(S(path::GetParentPath(W(TX("C:\\x")))), windows ? TX("C:\\") : TX(""));
  EXPECT_EQ(S(path::CombinePath(W(TX("a")), W(TX("b")))), windows ? TX("a\\b") : TX("a/b"));
}
