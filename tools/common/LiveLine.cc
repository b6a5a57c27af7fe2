#include "common/LiveLine.h"

#include <algorithm>

#include "common/Text.h"
#include "platform/Platform.h"

namespace tessik_cli {

void LiveLine::Draw(const std::string& text) {
  if (!on_) return;
  std::string line = text;
  const int width = TerminalColumns(stream_);
  if (width > 1) line = Fit(line, static_cast<size_t>(width - 1));
  // Over the previous line, blanking what of it the new one leaves.
  const size_t columns = Columns(line);
  std::fprintf(stream_, "\r%s%s", line.c_str(), std::string(shown_ > columns ? shown_ - columns : 0, ' ').c_str());
  std::fflush(stream_);
  shown_ = std::max(shown_, columns);
}

void LiveLine::Wipe() {
  if (!on_ || shown_ == 0) return;
  std::fprintf(stream_, "\r%s\r", std::string(shown_, ' ').c_str());
  std::fflush(stream_);
  shown_ = 0;
}

}  // namespace tessik_cli
