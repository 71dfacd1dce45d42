#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace nimbra::machine_tool {

// A wrong command line; main prints the message and exits with 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using Args = std::vector<std::string>;

// Each command gets the words after its own name and prints to stdout.
void RunInit(const Args& args);
void RunReg(const Args& args);
void RunDrive(const Args& args);
void RunDemo(const Args& args);
void RunShow(const Args& args);
void RunMailbox(const Args& args);

}  // namespace nimbra::machine_tool
