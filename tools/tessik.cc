// tessik: the command-line face of the library.
//   tessik version   prints the library's version and checks that it answers.
#include <cstdio>
#include <cstring>

#include "tessik/TessikClient.h"

int main(int argc, char** argv) {
  const char* command = argc > 1 ? argv[1] : "version";
  if (std::strcmp(command, "version") == 0) {
    TessikChar* probe = nullptr;
    int32_t status = Tessik_Allocate(&probe, 1);
    Tessik_Release(probe);
    std::printf("TessikClient %s (allocator check: %s)\n", TESSIK_VERSION_STRING,
                status == TESSIK_OK ? "ok" : "failed");
    return status == TESSIK_OK ? 0 : 1;
  }
  std::fprintf(stderr, "usage: tessik version\n");
  return 2;
}
