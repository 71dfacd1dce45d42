#pragma once

#include <string_view>

#include "platform/machine.h"

namespace nimbra::platform {

// Copies source_dir + name to dest_dir + name the way the installer copies
// each of its files: a missing source gives false; the destination folder
// tree is created when missing; an existing destination is overwritten, and
// when that fails (a locked or read-only file) the existing file is renamed
// to its name + ".REMOVE" (replacing an older ".REMOVE" left by an earlier
// run) and the copy is tried once more, whose result is the result.
bool CopyOneFile(Machine& machine, std::string_view source_dir, std::string_view name,
                 std::string_view dest_dir);

}  // namespace nimbra::platform
