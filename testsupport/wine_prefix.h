#pragma once

#include <filesystem>
#include <optional>

namespace nimbra::testsupport {

// A freshly booted Wine prefix ("wineboot -i"), made once and kept under the
// build folder (a first boot takes 10-60 s, and CTest runs every test as a
// process of its own); tests work on copies of it. nullopt when wine,
// wineboot or wineserver is not installed or the boot failed.
std::optional<std::filesystem::path> BootedWinePrefix();

}  // namespace nimbra::testsupport
