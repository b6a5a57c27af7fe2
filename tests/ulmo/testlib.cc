// A tiny library for the shared-library tests; TESTLIB_ANSWER tells copies apart.
#if defined(_WIN32)
#define TESTLIB_EXPORT extern "C" __declspec(dllexport)
#else
#define TESTLIB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TESTLIB_EXPORT int tessik_test_answer() { return TESTLIB_ANSWER; }
