#pragma once

// Runs a test body on every path of the engine's dispatched routines: first
// as the processor chooses, then with the portable path forced
// (engine/cpu_features.h). A failure names the path it was found on.

#include <gtest/gtest.h>

#include "engine/cpu_features.h"

namespace nimbra::engine::test {

template <typename Body>
void OnEveryPath(Body body) {
  struct Restore {
    ~Restore() { cpu::ForcePortable(false); }
  } restore;
  for (bool portable : {false, true}) {
    cpu::ForcePortable(portable);
    SCOPED_TRACE(portable ? "portable path forced" : "the processor's path");
    body();
  }
}

}  // namespace nimbra::engine::test
