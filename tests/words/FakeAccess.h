// Reaching the fake word library from a test program, and the check, run at
// exit after the word library manager is gone, that it closed the dictionary
// exactly when it had opened it.
#ifndef TESSIK_TESTS_WORDS_FAKEACCESS_H_
#define TESSIK_TESTS_WORDS_FAKEACCESS_H_

#include <cstdio>
#include <cstdlib>

#include "tests/words/FakeWordLib.h"
#include "ulmo/osdep/SharedLibrary.h"

namespace fakewords {

inline vel::ulmo::osdep::SharedLibrary& Module() {
  // Loaded by the same bare name, so it is the module the manager loads; never
  // freed, so the records outlive the manager's teardown.
  static const vel::ulmo::WChar name[] = {'W', 'o', 'r', 'd', 'N', 'e', 't', 'E', 'n', 0};
  static auto* module = new vel::ulmo::osdep::SharedLibrary(vel::ulmo::WString(name));
  return *module;
}

inline FakeWordRecord Read() {
  FakeWordRecord record{};
  reinterpret_cast<FakeReadFn>(Module().GetSymbol(vel::ulmo::AString("FakeWordLib_Read"), false))(&record);
  return record;
}

inline void Configure(const FakeWordConfig& config) {
  reinterpret_cast<FakeConfigureFn>(Module().GetSymbol(vel::ulmo::AString("FakeWordLib_Configure"), false))(&config);
}

inline bool g_initSucceeds = true;

inline void CheckCloseAtExit() {
  FakeWordRecord record = Read();
  int expected = record.initCalls == 1 && g_initSucceeds ? 1 : 0;
  if (record.initCalls > 1 || record.closeCalls != expected) {
    std::fprintf(stderr, "FAIL at exit: %d dictionary opens, %d closes (expected %d)\n", record.initCalls,
                 record.closeCalls, expected);
    std::fflush(stderr);
    std::_Exit(1);
  }
}

// Before the manager exists: the check registered now runs after it is gone.
inline void ConfigureFresh(const FakeWordConfig& config) {
  if (Read().initCalls != 0) return;
  Configure(config);
  g_initSucceeds = config.initResult == 0;
  std::atexit(CheckCloseAtExit);
}

}  // namespace fakewords

#endif  // TESSIK_TESTS_WORDS_FAKEACCESS_H_
