// Millisecond waits. Every wait the library makes goes through SleepMs, so a
// test can install a hook that records the waits instead of spending them.
#pragma once

#include <cstdint>

namespace tessok::platform {

using SleepHook = void (*)(std::uint32_t milliseconds);

void SleepMs(std::uint32_t milliseconds);
// Installs a replacement for the real sleep (nullptr restores it); returns the previous hook.
SleepHook SetSleepHook(SleepHook hook);
// The operating system's own sleep.
void SystemSleepMs(std::uint32_t milliseconds);

}  // namespace tessok::platform
