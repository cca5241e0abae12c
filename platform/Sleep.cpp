#include "platform/Sleep.h"

namespace tessok::platform {

namespace {
SleepHook g_hook = nullptr;
}

void SleepMs(std::uint32_t milliseconds) {
  if (g_hook != nullptr) {
    g_hook(milliseconds);
  } else {
    SystemSleepMs(milliseconds);
  }
}

SleepHook SetSleepHook(SleepHook hook) {
  SleepHook previous = g_hook;
  g_hook = hook;
  return previous;
}

}  // namespace tessok::platform
