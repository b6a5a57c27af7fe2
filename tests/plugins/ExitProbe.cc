// Ends the process with a session still open on a reference plugin, one
// asynchronous search running: the library drops the session at unload
// without finishing it, and the plugin must then wait for its thread and
// free its state (LeakSanitizer and ThreadSanitizer watch this program).
#include <cstdio>
#include <string>

#include "tessik/Query.h"
#include "tessik/TessikClient.h"
#include "tests/common/TestText.h"

namespace {
void Ignore(uint32_t, int32_t code, TessikChar* text) {
  if (code == TESSIK_NOTIFY_RESULTS) Tessik_Release(text);
}
}  // namespace

int main() {
  uint32_t id = 0;
  const std::string plugin = std::string(TESSIK_PLUGIN_DIR) + "/files" + TESSIK_PLUGIN_SUFFIX;
  IQuery* query = nullptr;
  const std::string xml = "<Query><Domain><Name>files</Name><Property name=\"data\">" TESSIK_FIXTURE_DIR
                          "/quotes.index</Property></Domain><TermGroup compose=\"Not\"/></Query>";
  if (Tessik_OpenSession(nullptr, &id) != TESSIK_OK || Tessik_LoadPluginByPath(id, T(plugin).c_str()) != TESSIK_OK ||
      Tessik_InitSearch(id) != TESSIK_OK || Tessik_ParseQueryFromXML(T(xml).c_str(), &query) != TESSIK_OK ||
      Tessik_AsyncSearch(id, query, Ignore, 0, 1) != TESSIK_OK) {
    std::fprintf(stderr, "exit probe: setting up the search failed\n");
    return 1;
  }
  Tessik_ReleaseQuery(query);
  std::puts("exit probe: leaving with the session open");
  return 0;
}
