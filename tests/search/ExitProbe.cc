// Returns from main while asynchronous searches run on two sessions whose
// plugins end only when aborted. The library's teardown must abort them,
// see every end, and let the process exit normally. Each final notification
// is printed; tests/search/RunExitProbe.cmake reads them and the exit status.
#include <cstdio>

#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"
#include "tests/search/TestProtocol.h"

namespace {

void Callback(uint32_t session, int32_t code, TessikChar* text) {
  Tessik_Release(text);
  if (code == TESSIK_NOTIFY_RESULTS) return;
  std::printf("final %u %s\n", static_cast<unsigned>(session), code == TESSIK_NOTIFY_ENDED_EMPTY ? "empty" : "other");
  std::fflush(stdout);
}

// Outlives main: the plugins may read it until their searches end.
const testplugin::TestQuery kQuery{.asyncMode = {testplugin::kNothingUntilAbort, testplugin::kNothingUntilAbort}};

}  // namespace

int main() {
  for (int i = 0; i < 2; ++i) {
    uint32_t id = 0;
    if (Tessik_OpenSession(TX("exit"), &id) != TESSIK_OK || Tessik_LoadPluginByDomain(id, TX("Alpha")) != TESSIK_OK ||
        Tessik_LoadPluginByDomain(id, TX("beta")) != TESSIK_OK || Tessik_InitSearch(id) != TESSIK_OK ||
        Tessik_AsyncSearch(id, &kQuery, &Callback, 0, 5) != TESSIK_OK) {
      std::printf("could not start the searches\n");
      return 2;
    }
  }
  std::printf("returning from main\n");
  std::fflush(stdout);
  return 0;
}
