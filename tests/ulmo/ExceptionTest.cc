#include <gtest/gtest.h>

#include <cerrno>

#include "ulmo/NumericCast.h"
#include "ulmo/SafeInteger.h"
#include "ulmo/StringBase.h"
#include "ulmo/exception/OutOfRange2.h"
#include "ulmo/osdep/OSException.h"
#include "tests/common/TestText.h"

namespace ex = vel::ulmo::exception;
namespace os = vel::ulmo::osdep;
using vel::ulmo::AString;
using vel::ulmo::NumericCast;
using vel::ulmo::SafeInteger;

TEST(Exception, ThrowAtStampsACopyAndKeepsTheClass) {
  try {
    ex::ThrowAt(os::WinError(AString("library not loaded"), 9999), "ulmo\\osdep\\SharedLibrary", 17);
  } catch (const ex::Exception& e) {  // texts and codes come through the base
    EXPECT_STREQ(e.what(), "library not loaded");
    EXPECT_EQ(e.GetErrorCode(), 42u);
    EXPECT_EQ(dynamic_cast<const os::WinError&>(e).GetSystemError(), 9999u);
    EXPECT_STREQ(e.file, "ulmo\\osdep\\SharedLibrary");
    EXPECT_EQ(e.line, 17u);
  }
  try {
    vel::ulmo::WString w(TX("abc"));
    w.Erase(4, 1, false);
    FAIL();
  } catch (const ex::OutOfRange& e) {
    EXPECT_STREQ(e.what(), "Out of range: String offset out of range");
    EXPECT_EQ(e.GetErrorCode(), 0x8ABC7007u);
    EXPECT_STREQ(e.file, "ulmo\\StringBase");
    EXPECT_GT(e.line, 0u);
  }
}

#if !defined(_WIN32)  // Windows: see SharedLibrary.SymbolsAndFailures
TEST(Exception, WinErrorFromTheLastSystemError) {
  errno = ENOENT;
  os::WinError missing;
  EXPECT_EQ(missing.GetSystemError(), static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(missing.GetErrorCode(), 7u);
  EXPECT_STREQ(missing.what(), "No such file or directory");
  errno = 0;
  EXPECT_EQ(os::WinError().GetErrorCode(), 0u);
  errno = 100000;  // a number the system has no text for
  EXPECT_STREQ(os::WinError().what(), "Unknown error");
  // Copies keep the stamp and their own message.
  os::WinError copy = missing;
  EXPECT_STREQ(copy.what(), missing.what());
  EXPECT_NE(copy.what(), missing.what());
}
#endif

TEST(Exception, BothErrorTables) {
  const uint32_t windows[][2] = {{0, 0},  {2, 7},           {3, 7},  {15, 7},   {4, 11},          {5, 0x80070005},
                                 {6, 1},  {87, 1},          {8, 2},  {14, 2},   {11, 23},         {16, 8},
                                 {19, 8}, {32, 8},          {33, 8}, {20, 37},  {23, 0xFFFFFE04}, {38, 4},
                                 {39, 9}, {80, 0xFFFFFF9E}, {1, 42}, {9999, 42}};
  for (auto& row : windows) EXPECT_EQ(os::MapWindowsError(row[0]), row[1]) << row[0];
  // clang-format off
  const int64_t posix[][2] = {{0, 0}, {ENOENT, 7}, {ENOTDIR, 7}, {EMFILE, 11}, {ENFILE, 11}, {EBADF, 1}, {EINVAL, 1},
                              {ENOMEM, 2}, {ENOEXEC, 23}, {EBUSY, 8}, {EROFS, 8}, {ETXTBSY, 8}, {ENOTEMPTY, 8},
                              {ENODEV, 37}, {ENOSPC, 9}, {EAGAIN, 42}, {EINTR, 42}, {EACCES, 0x80070005},
                              {EPERM, 0x80070005}, {EIO, 0xFFFFFE04}, {EEXIST, 0xFFFFFF9E}};
  // clang-format on
  for (auto& row : posix) EXPECT_EQ(os::MapErrno(static_cast<int>(row[0])), row[1]) << row[0];
}

TEST(Exception, SystemMessageCut) {
  EXPECT_STREQ(os::CutSystemMessage("File not found.\r\n").CStr(), "File not found");
  EXPECT_STREQ(os::CutSystemMessage("\r\n").CStr(), "");
  EXPECT_STREQ(os::CutSystemMessage("x\r\n").CStr(), "");
  EXPECT_STREQ(os::CutSystemMessage("no line end").CStr(), "no line end");
}

TEST(Exception, RangeChecks) {
  EXPECT_EQ((SafeInteger(0xFFFFFFFE) + SafeInteger(1)).Value(), 0xFFFFFFFFu);
  EXPECT_THROW(SafeInteger(0xFFFFFFFF) + SafeInteger(1), ex::OutOfRange);
  EXPECT_EQ(SafeInteger(0x7FFFFFFF).Doubled().Value(), 0xFFFFFFFEu);
  EXPECT_THROW(SafeInteger(0x80000000).Doubled(), ex::OutOfRange);
  EXPECT_EQ(NumericCast<uint32_t>(uint64_t{0xFFFFFFFF}), 0xFFFFFFFFu);
  EXPECT_THROW(NumericCast<uint32_t>(uint64_t{0x100000000}), ex::OutOfRange);
  EXPECT_EQ(NumericCast<int32_t>(int64_t{-2147483648LL}), INT32_MIN);
  EXPECT_EQ(NumericCast<int32_t>(int64_t{2147483647}), INT32_MAX);
  EXPECT_THROW(NumericCast<int32_t>(int64_t{2147483648LL}), ex::OutOfRange);
  try {
    NumericCast<int32_t>(int64_t{-2147483649LL});
    FAIL();
  } catch (const ex::OutOfRange& e) {
    EXPECT_STREQ(e.file, "ulmo/NumericCast");
  }
}
