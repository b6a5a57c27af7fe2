// AnsiToWide and WideToAnsi: measure, make room, convert. The two platform
// steps live in the backends; the rules around them are the same everywhere.
#include "ulmo/NumericCast.h"
#include "ulmo/StringBase.h"
#include "ulmo/osdep/OSException.h"
#include "ulmo/osdep/Text.h"

namespace vel::ulmo::osdep {
namespace {

template <class From, class To, class Step>
void ConvertAppend(const From* first, const From* last, StringBase<To>& out, Step step, const char* file) {
  if (first == last) return;  // nothing to convert: the platform is not asked
  int32_t length = NumericCast<int32_t>(static_cast<int64_t>(last - first));
  uint32_t needed = step(first, length, nullptr, 0);
  if (needed == 0) exception::ThrowAt(SystemError(), file, __LINE__);
  uint32_t before = out.Length();
  To* target = out.ReserveAppend(needed);
  uint32_t written = step(first, length, target, needed);
  if (written == 0) {
    SystemError error;
    out.Erase(before, StringBase<To>::npos, true);  // give back the room made above
    exception::ThrowAt(error, file, __LINE__);
  }
  out.CommitAppend(written);
}

}  // namespace

void AnsiToWide(const char* first, const char* last, WString& out) {
  ConvertAppend(first, last, out, AnsiToWideStep, "ulmo\\osdep\\AnsiToWide");
}

void WideToAnsi(const WChar* first, const WChar* last, AString& out) {
  ConvertAppend(first, last, out, WideToAnsiStep, "ulmo\\osdep\\WideToAnsi");
}

}  // namespace vel::ulmo::osdep
