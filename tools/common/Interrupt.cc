#include "common/Interrupt.h"

#include <csignal>
#include <cstdlib>

namespace tessik_cli {
namespace {

// Set by the SIGINT handler (on Windows it runs on a thread of its own);
// read by the main thread.
std::atomic<bool> pressed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the SIGINT handler may touch only a lock-free atomic");

extern "C" void OnInterrupt(int) {
  if (pressed.exchange(true)) std::_Exit(130);
}

}  // namespace

InterruptScope::InterruptScope() {
  pressed = false;
  previous_ = std::signal(SIGINT, OnInterrupt);
}

InterruptScope::~InterruptScope() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }

const std::atomic<bool>& InterruptScope::Pressed() { return pressed; }

}  // namespace tessik_cli
