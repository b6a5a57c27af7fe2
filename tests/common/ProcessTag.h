// A tag of this process for the names of files and folders a test makes
// while it runs: ctest runs tests side by side (the presets use -j), and
// runs of one test under several locales, or again under --repeat, must
// not share what they write. Drawn once per process from the system's
// random source, so tests need no operating-system call of their own.
#ifndef TESSIK_TESTS_COMMON_PROCESSTAG_H_
#define TESSIK_TESTS_COMMON_PROCESSTAG_H_

#include <random>
#include <string>

inline std::string ProcessTag() {
  static const std::string tag = [] {
    std::random_device source;
    return std::to_string(source()) + std::to_string(source());
  }();
  return tag;
}

#endif  // TESSIK_TESTS_COMMON_PROCESSTAG_H_
