// nimbra-machine: creates, changes and shows emulated Windows machines.

#include <cstdio>
#include <exception>
#include <string>

#include "app/nimbra-machine/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: nimbra-machine init DIR [--win9x] | reg query DIR KEY [VALUE] | "
    "reg import DIR FILE.reg | drive add DIR LETTER HOSTDIR TYPE [LABEL] [--remote NAME] | "
    "mailbox DIR WINPATH --password P --account \"name|address|reply|pop3|pop3port|smtp|"
    "smtpport\" [--account ...] [--program-dir WINDIR] | demo DIR | show DIR";

}  // namespace

int main(int argc, char** argv) {
  using namespace nimbra::machine_tool;
  const Args words(argv + 1, argv + argc);
  try {
    if (words.empty()) throw UsageError(kUsage);
    const std::string& command = words[0];
    const Args rest(words.begin() + 1, words.end());
    if (command == "init") {
      RunInit(rest);
    } else if (command == "reg") {
      RunReg(rest);
    } else if (command == "drive") {
      RunDrive(rest);
    } else if (command == "mailbox") {
      RunMailbox(rest);
    } else if (command == "demo") {
      RunDemo(rest);
    } else if (command == "show") {
      RunShow(rest);
    } else {
      throw UsageError(kUsage);
    }
    std::fflush(stdout);
    return 0;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::string message = error.what();
    // One line only, whatever the message holds.
    for (char& c : message) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "nimbra-machine: %s\n", message.c_str());
    return 2;
  }
}
