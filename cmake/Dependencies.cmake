# Outside libraries. Each is found once here so the subsystem lists stay short.
find_package(Threads REQUIRED)

if(NOT WIN32)
  # ICU gives collation, case mapping and code-page conversion on Linux;
  # Windows uses the system's own routines instead.
  find_package(ICU 60 REQUIRED COMPONENTS uc i18n)
endif()

if(TESSIK_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(TESSIK_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
