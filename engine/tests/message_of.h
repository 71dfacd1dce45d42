#pragma once

#include <string>

// The message of the exception of type E that f raises, or "<no exception>";
// the engine's exact messages are part of its contract.
template <typename E, typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "<no exception>";
}
