// The one helper every exported function goes through.
//
// It checks the instance index and the caller's pointers, calls the member
// function on the selected object and turns any exception into the function's
// failure value, so nothing thrown inside the library crosses the C boundary.
#pragma once

#include <cstdint>

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

}  // namespace tessok::api
