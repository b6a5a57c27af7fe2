# Outside libraries. Each is found once here so the subsystem lists stay short.
find_package(Threads REQUIRED)

if(NOT WIN32)
  # ICU gives collation, case mapping and code-page conversion on Linux;
  # Windows uses the system's own routines instead.
  find_package(ICU 60 REQUIRED COMPONENTS uc i18n)
endif()

# Xerces-C reads and writes every XML document of the library. On Windows it
# is the build of scripts/windows-deps, whose package file (unlike a header
# and library search) knows where the DLL is, which tessik_copy_runtime_dlls
# needs; on Linux it is Debian's, found by CMake's own module.
if(WIN32)
  find_package(XercesC 3.2 CONFIG REQUIRED)
else()
  find_package(XercesC 3.2 REQUIRED)
endif()

# A header-only library on Windows: Debian's headers, through a folder that
# holds the library's own folder alone, so no Linux system header can reach
# the cross compiler.
#   tessik_debian_headers(TARGET FOLDER PROBE): FOLDER below /usr/include,
#   found by its header PROBE, as the imported target TARGET.
function(tessik_debian_headers target folder probe)
  find_path(TESSIK_${folder}_HEADERS ${folder}/${probe} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
            REQUIRED)
  set(dir ${PROJECT_BINARY_DIR}/${folder}-include)
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${TESSIK_${folder}_HEADERS}/${folder} ${dir}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${dir})
endfunction()

# nlohmann-json writes every JSON text of the tools.
if(WIN32)
  tessik_debian_headers(nlohmann_json::nlohmann_json nlohmann json.hpp)
else()
  find_package(nlohmann_json 3 REQUIRED CONFIG)
endif()

# Boost.Beast and Asio carry the server's HTTP; on Windows with the socket
# libraries Asio calls and the Windows version it is built for.
if(WIN32)
  tessik_debian_headers(Boost::boost boost version.hpp)
  set_target_properties(Boost::boost PROPERTIES INTERFACE_COMPILE_DEFINITIONS "_WIN32_WINNT=0x0A00"
                                                INTERFACE_LINK_LIBRARIES "ws2_32;mswsock")
else()
  find_package(Boost 1.74 REQUIRED)
endif()

# The engine plugins, each with its own switch; TESSIK_ENGINE_PLUGINS OFF
# leaves both out (the fuzzing build). Both are built on both platforms.
# Decided here, at the top level, so plugins/ and tests/ see the same values.
option(TESSIK_ENGINE_PLUGINS "Build the engine plugins, as TESSIK_XAPIAN_PLUGIN and TESSIK_SQLITE_PLUGIN say" ON)
option(TESSIK_XAPIAN_PLUGIN "Build the Xapian plugin and its indexer" ON)
option(TESSIK_SQLITE_PLUGIN "Build the SQLite plugin and its indexer" ON)
if(NOT TESSIK_ENGINE_PLUGINS)
  set(TESSIK_XAPIAN_PLUGIN OFF)
  set(TESSIK_SQLITE_PLUGIN OFF)
endif()
# Xapian: Debian's on Linux; on Windows the static build of
# scripts/windows-deps, whose package file names zlib and the socket and RPC
# libraries it needs. libssp holds the checks of the fortified calls its
# configure chose.
if(TESSIK_XAPIAN_PLUGIN)
  find_package(Xapian REQUIRED CONFIG)
  if(WIN32)
    list(APPEND XAPIAN_LIBRARIES ssp)
  endif()
endif()

# SQLite, with FTS5, holds the reference plugins' indexes. CMake's own module
# finds it on both platforms: on Windows the static build of
# scripts/windows-deps, through the preset's prefix path (a static library,
# so there is no DLL to copy), on Linux Debian's.
find_package(SQLite3 REQUIRED)

if(TESSIK_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(TESSIK_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()

# Windows finds a program's DLLs only beside it (or on PATH, which Wine and
# the test runs do not set up). Copies the DLLs of the imported libraries a
# target links, Xerces-C's for one, next to it after each link; call it before
# gtest_discover_tests, whose listing run needs them already.
function(tessik_copy_runtime_dlls target)
  if(WIN32)
    set(dlls $<TARGET_RUNTIME_DLLS:${target}>)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E $<IF:$<BOOL:${dlls}>,copy_if_different,true> ${dlls} $<TARGET_FILE_DIR:${target}>
      COMMAND_EXPAND_LISTS VERBATIM)
  endif()
endfunction()
