#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "keys/nimbra_crypto.h"

namespace nimbra::keys_tool {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs list, show, export or import on the logged-on component, printing to
// stdout; raises on errors.
void RunCommand(keys::TNimbraMGR& crypto, const std::string& command,
                const std::vector<std::string>& args);

}  // namespace nimbra::keys_tool
