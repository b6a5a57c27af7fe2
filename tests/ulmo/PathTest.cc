#include <gtest/gtest.h>

#include <string>

#include "ulmo/exception/Exception.h"
#include "ulmo/osdep/Path.h"

namespace win = vel::ulmo::osdep::path::windows;
namespace px = vel::ulmo::osdep::path::posix;
using vel::ulmo::AString;
using vel::ulmo::WString;

namespace {
WString W(const std::u16string& s) { return WString(s.data(), static_cast<uint32_t>(s.size())); }
std::u16string S(const WString& s) { return std::u16string(s.CStr(), s.Length()); }
}  // namespace

TEST(PathWindows, Absolute) {
  for (auto p : {u"C:\\x", u"AB:\\x", u"\\\\server\\share", u"c:\\"}) EXPECT_TRUE(win::IsAbsolutePath(W(p))) << (char)p[0];
  for (auto p : {u"", u"C:x", u"C:", u"\\x", u"ABC:\\x", u"1:\\x", u"x"}) EXPECT_FALSE(win::IsAbsolutePath(W(p)));
  EXPECT_TRUE(win::IsAbsolutePath(AString("D:\\dir")));
  EXPECT_FALSE(win::IsAbsolutePath(AString("dir\\x")));
}

TEST(PathWindows, CombineParentFileName) {
  EXPECT_EQ(S(win::CombinePath(W(u"C:\\base"), W(u"x"))), u"C:\\base\\x");
  EXPECT_EQ(S(win::CombinePath(W(u"C:\\base\\"), W(u"x"))), u"C:\\base\\x");
  EXPECT_EQ(S(win::CombinePath(W(u"C:\\base"), W(u"D:\\y"))), u"D:\\y");
  EXPECT_EQ(S(win::CombinePath(W(u""), W(u"x"))), u"x");
  EXPECT_STREQ(win::CombinePath(AString("a"), AString("b")).CStr(), "a\\b");

  const std::u16string parents[][2] = {{u"C:\\dir\\app.exe", u"C:\\dir"}, {u"C:\\app.exe", u"C:\\"},
                                       {u"\\\\server\\share\\x", u"\\\\server\\share"}, {u"C:\\", u"C:\\"},
                                       {u"app.exe", u""}, {u"C:\\a\\\\b", u"C:\\a"}, {u"a\\b", u"a"}};
  for (auto& row : parents) EXPECT_EQ(S(win::GetParentPath(W(row[0]))), row[1]);

  EXPECT_EQ(S(win::GetFileName(W(u"C:\\Search\\Plugins\\Docs.dll"))), u"Docs.dll");
  EXPECT_EQ(S(win::GetFileName(W(u"Docs.dll"))), u"Docs.dll");
  EXPECT_EQ(S(win::GetFileName(W(u"C:"))), u"");
  EXPECT_EQ(S(win::GetFileName(W(u"AB:"))), u"");
  EXPECT_EQ(S(win::GetFileName(W(u"dir\\"))), u"");
}

TEST(PathWindows, AppendSeparator) {
  WString p = W(u"C:\\");
  win::AppendSeparator(p);
  EXPECT_EQ(S(p), u"C:\\");
  p = W(u"C:\\dir");
  win::AppendSeparator(p);
  EXPECT_EQ(S(p), u"C:\\dir\\");
  WString empty;
  try {
    win::AppendSeparator(empty);
    FAIL();
  } catch (const vel::ulmo::exception::InvalidArgument& e) {
    EXPECT_STREQ(e.file, "ulmo\\osdep\\path");
  }
}

TEST(PathPosix, AllOperations) {
  EXPECT_TRUE(px::IsAbsolutePath(W(u"/usr/lib")));
  EXPECT_FALSE(px::IsAbsolutePath(W(u"Plugins/x.so")));
  EXPECT_FALSE(px::IsAbsolutePath(W(u"")));
  EXPECT_EQ(S(px::CombinePath(W(u"/base"), W(u"x"))), u"/base/x");
  EXPECT_EQ(S(px::CombinePath(W(u"/base/"), W(u"x"))), u"/base/x");
  EXPECT_EQ(S(px::CombinePath(W(u"/base"), W(u"/y"))), u"/y");
  EXPECT_EQ(S(px::CombinePath(W(u""), W(u"x"))), u"x");
  const std::u16string parents[][2] = {{u"/opt/app/bin", u"/opt/app"}, {u"/bin", u"/"}, {u"/", u"/"},
                                       {u"app", u""}, {u"/a//b", u"/a"}, {u"a/b", u"a"}};
  for (auto& row : parents) EXPECT_EQ(S(px::GetParentPath(W(row[0]))), row[1]);
  EXPECT_EQ(S(px::GetFileName(W(u"/x/Plugins/Docs.so"))), u"Docs.so");
  EXPECT_EQ(S(px::GetFileName(W(u"Docs"))), u"Docs");
  WString p = W(u"/x");
  px::AppendSeparator(p);
  EXPECT_EQ(S(p), u"/x/");
  WString empty;
  EXPECT_THROW(px::AppendSeparator(empty), vel::ulmo::exception::InvalidArgument);
}
