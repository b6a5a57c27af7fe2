// Ctrl-C during a long step (an asynchronous search, indexing a folder):
// the first press sets a flag the step watches, so it can stop cleanly and
// keep what it has; a second ends the program at once (exit 130), for a
// step that is slow to stop.
#ifndef TESSIK_TOOLS_COMMON_INTERRUPT_H_
#define TESSIK_TOOLS_COMMON_INTERRUPT_H_

#include <atomic>

namespace tessik_cli {

// Catches Ctrl-C while it lives; one at a time in the process.
class InterruptScope {
 public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  // Turns true at the first Ctrl-C.
  static const std::atomic<bool>& Pressed();

 private:
  void (*previous_)(int);
};

}  // namespace tessik_cli

#endif  // TESSIK_TOOLS_COMMON_INTERRUPT_H_
