// tessik-index-files: brings the folder index of a folder up to date (the
// build indexes the sample quotations and the test fixture with it).
// Usage: tessik-index-files [--batch FILES] [--exclude GLOB]... [--hidden] FOLDER INDEX
// Prints what it did, and every file it skipped with the reason, and exits
// 0; 1 when the update failed, 2 on bad usage, 3 when another update of
// the index runs.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/Indexer.h"

namespace folder = tessik_plugins::folder;

namespace {
enum Exit { kExitDone = 0, kExitFailed = 1, kExitUsage = 2, kExitBusy = 3 };
}  // namespace

int main(int argc, char** argv) {
  folder::IndexOptions options;
  std::vector<std::string> positional;
  bool progress = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--batch" && i + 1 < argc) {
      options.batchFiles = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--exclude" && i + 1 < argc) {
      options.excludes.push_back(argv[++i]);
    } else if (arg == "--hidden") {
      options.includeHidden = true;
    } else if (arg == "--progress") {
      progress = true;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2 || options.batchFiles == 0) {
    std::fprintf(stderr, "usage: %s [--batch FILES] [--exclude GLOB]... [--hidden] [--progress] FOLDER INDEX\n",
                 argv[0]);
    return kExitUsage;
  }
  options.root = positional[0];
  options.index = positional[1];
  const std::atomic<bool> stop{false};
  try {
    const folder::Summary s = folder::Update(
        options,
        [&](const folder::Progress& p) {
          if (!progress) return;
          std::printf("progress: %llu of %llu files\n", static_cast<unsigned long long>(p.seen),
                      static_cast<unsigned long long>(p.total));
          std::fflush(stdout);
        },
        stop);
    for (const folder::Skip& skip : s.skips) std::printf("skipped %s: %s\n", skip.path.c_str(), skip.reason.c_str());
    std::printf("%s: %llu files, %llu indexed, %llu unchanged, %llu skipped, %llu removed, %.1f MB read in %.2f s\n",
                options.index.c_str(), static_cast<unsigned long long>(s.total),
                static_cast<unsigned long long>(s.indexed), static_cast<unsigned long long>(s.unchanged),
                static_cast<unsigned long long>(s.skipped), static_cast<unsigned long long>(s.removed),
                static_cast<double>(s.bytes) / 1e6, s.seconds);
    return kExitDone;
  } catch (const folder::Busy& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return kExitBusy;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return kExitFailed;
  }
}
