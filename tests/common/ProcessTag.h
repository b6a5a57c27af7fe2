// A tag of this process for the names of files and folders a test makes
// while it runs: ctest runs tests side by side (the presets use -j), and
// runs of one test under several locales, or again under --repeat, must
// not share what they write.
#ifndef TESSIK_TESTS_COMMON_PROCESSTAG_H_
#define TESSIK_TESTS_COMMON_PROCESSTAG_H_

#include <string>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

inline std::string ProcessTag() {
#if defined(_WIN32)
  return std::to_string(_getpid());
#else
  return std::to_string(getpid());
#endif
}

#endif  // TESSIK_TESTS_COMMON_PROCESSTAG_H_
