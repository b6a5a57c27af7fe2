// An environment variable of the test's own process, which the plugins it
// loads read too, set and cleared the same way on both platforms.
#ifndef TESSIK_TESTS_COMMON_ENVIRONMENT_H_
#define TESSIK_TESTS_COMMON_ENVIRONMENT_H_

#include <cstdlib>
#include <string>

inline void SetEnvironment(const std::string& name, const std::string& value) {
#if defined(_WIN32)
  _putenv_s(name.c_str(), value.c_str());
#else
  setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void ClearEnvironment(const std::string& name) {
#if defined(_WIN32)
  _putenv_s(name.c_str(), "");  // an empty value removes it there
#else
  unsetenv(name.c_str());
#endif
}

#endif  // TESSIK_TESTS_COMMON_ENVIRONMENT_H_
