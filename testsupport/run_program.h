#pragma once

// Running programs from tests: this build's own programs as a user runs
// them, and outside tools that check our files.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace nimbra::testsupport {

struct CommandResult {
  int status = -1;  // the exit status; -1 when a signal ended the program
  std::string out;  // what it wrote to its standard output
  std::string err;  // ... and to its error output
};

// Runs a command line through /bin/sh and waits for it.
CommandResult RunCommand(const std::string& command_line);

// Starts a program (argv[0] is its path) without waiting for it; its output
// goes nowhere. Raises std::runtime_error when it cannot be started.
pid_t StartProgram(const std::vector<std::string>& argv);
// Waits for a started program: its exit status, or minus the number of the
// signal that ended it.
int WaitProgram(pid_t pid);

// A text as one shell word ('...').
std::string ShellQuote(std::string_view text);

// A program this build makes ("nimbra-setup", "nimbra-machine",
// "nimbra-engine"), in the build folder. The tests that run one declare it
// as a dependency in CMake, so a missing program is a failure, not a skip.
std::filesystem::path BuiltProgram(std::string_view name);

// Whether an outside program is on PATH.
bool OnPath(std::string_view program);

}  // namespace nimbra::testsupport
