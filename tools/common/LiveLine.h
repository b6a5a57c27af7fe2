// One line of progress on a terminal, redrawn in place: an asynchronous
// search's batches, an index being brought up to date. Off a terminal it
// draws nothing.
#ifndef TESSIK_TOOLS_COMMON_LIVELINE_H_
#define TESSIK_TOOLS_COMMON_LIVELINE_H_

#include <cstdio>
#include <string>

namespace tessik_cli {

class LiveLine {
 public:
  // Draws on `stream` when `on` (the caller asks whether it is a terminal).
  LiveLine(std::FILE* stream, bool on) : stream_(stream), on_(on) {}
  ~LiveLine() { Wipe(); }
  LiveLine(const LiveLine&) = delete;
  LiveLine& operator=(const LiveLine&) = delete;

  // Replaces the line with `text`, cut to the terminal's width: a line
  // longer than the terminal would wrap, and "\r" would then redraw only
  // its last part.
  void Draw(const std::string& text);
  // Blanks the line, before anything else is printed.
  void Wipe();

 private:
  std::FILE* stream_;
  bool on_;
  size_t shown_ = 0;  // columns drawn
};

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_COMMON_LIVELINE_H_
