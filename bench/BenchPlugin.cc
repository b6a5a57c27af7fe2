// A plugin for the benchmarks: SyncSearch returns one fixed one-hit document;
// AsyncSearch only remembers its session, which reports its end when aborted.
#include <cstring>

#include "tessik/Plugin.h"

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
const char16_t kDocument[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Results><Result id=\"1\"><Score>0.5</Score>"
    u"<Property name=\"Title\">One hit</Property></Result></Results>";
struct Handle {
  uint32_t sessionId;
  PluginNotify notify;
};
Handle g_handle;
}  // namespace

PLUGIN_EXPORT void* InitSearch(uint32_t sessionId) {
  g_handle.sessionId = sessionId;
  return &g_handle;
}
PLUGIN_EXPORT int32_t FinishSearch(void*) { return 0; }
PLUGIN_EXPORT int32_t SyncSearch(void*, const void*, TessikChar** resultText, uint32_t) {
  if (Tessik_Allocate(resultText, sizeof kDocument / sizeof kDocument[0]) == TESSIK_OK) {
    std::memcpy(*resultText, kDocument, sizeof kDocument);
  }
  return 0;
}
PLUGIN_EXPORT int32_t AsyncSearch(void* handle, const void*, PluginNotify notify, uint32_t, uint32_t) {
  static_cast<Handle*>(handle)->notify = notify;
  return 0;
}
PLUGIN_EXPORT int32_t AbortAsyncSearch(void* handle) {
  Handle* h = static_cast<Handle*>(handle);
  if (h->notify) h->notify(h->sessionId, TESSIK_NOTIFY_PLUGIN_ENDED, nullptr);
  h->notify = nullptr;
  return 0;
}
