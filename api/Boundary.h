// The one helper every exported function goes through.
//
// It checks the instance index and the caller's pointers, calls the member
// function on the selected object and turns any exception into the function's
// failure value, so nothing thrown inside the library crosses the C boundary.
#pragma once

#include <cstdint>

#include "core/Lanes.h"
#include "core/Tessok_API.h"

namespace tessok::api {

template <typename R, typename Body, typename... Pointers>
R Call(std::uint8_t index, R failure, Body&& body, const Pointers*... pointers) noexcept {
  if (index >= kApiInstanceCount) return failure;
  if (((pointers == nullptr) || ... || false)) return failure;
  try {
    return static_cast<R>(body(g_apiInstances[index]));
  } catch (...) {
    return failure;
  }
}

// Call for an operation that reaches its lane through the channel map: a
// channel whose map entry the connected model does not write returns the
// failure value with nothing sent or recorded.
template <typename R, typename Body, typename... Pointers>
R CallOnMapEntry(std::uint8_t index, std::int64_t channel, R failure, Body&& body,
                 const Pointers*... pointers) noexcept {
  return Call(
      index, failure, [&](Tessok_API& a) -> R { return HasMapEntry(a, channel) ? static_cast<R>(body(a)) : failure; },
      pointers...);
}

}  // namespace tessok::api
