#pragma once

#include <functional>
#include <string>

#include "core/stream.h"

// The engine tool's output files: written whole or not at all. The output
// goes to a temporary file beside OUT (through the platform's atomic writer),
// which replaces OUT only when the command succeeded; a command that fails
// leaves an existing OUT as it was.
namespace nimbra::engine_tool {

// Runs write on a stream into OUT's temporary file, then puts it in OUT's
// place. Whatever write raises is raised again, OUT untouched.
void WriteOutputFile(const std::string& path, const std::function<void(Stream& out)>& write);

// Raises std::invalid_argument when output names the same file as input.
void RefuseSameFile(const std::string& input, const std::string& output);

}  // namespace nimbra::engine_tool
