// nimbra-keys: lists, shows, exports and imports the keys of a user on an
// installed machine.
//
//   nimbra-keys --machine DIR [--user NAME] [--password P] list
//   nimbra-keys --machine DIR ... show KEY_ID
//   nimbra-keys --machine DIR ... export KEY_ID
//   nimbra-keys --machine DIR ... import FILE
//   nimbra-keys --machine DIR ... open-envelope MESSAGE
//
// Without --password the password is read from standard input (not echoed
// when that is a terminal). Exit 0 on success, 2 with one line on any error.

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/nimbra-keys/console_ui.h"
#include "app/nimbra-keys/key_commands.h"
#include "keys/nimbra_crypto.h"
#include "keys/product_location.h"
#include "platform/files/path.h"
#include "platform/machine.h"
#include "platform/processes/library.h"
#include "platform/processes/library_search.h"
#include "platform/profile/profile_file.h"

namespace {

using nimbra::keys_tool::UsageError;

constexpr const char* kUsage =
    "usage: nimbra-keys --machine DIR [--user NAME] [--password P] "
    "list | show KEY_ID | export KEY_ID | import FILE | open-envelope MESSAGE";

std::string ReadPassword() {
  termios saved{};
  const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    std::fprintf(stderr, "Password: ");
    termios quiet = saved;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string password;
  std::getline(std::cin, password);
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fprintf(stderr, "\n");
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return password;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace nimbra;
  try {
    std::string machineDir, user, password, command;
    bool havePassword = false;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
      const std::string word = argv[i];
      auto value = [&]() -> std::string {
        if (i + 1 >= argc) throw UsageError(word + " needs a value");
        return argv[++i];
      };
      if (word == "--machine") {
        machineDir = value();
      } else if (word == "--user") {
        user = value();
      } else if (word == "--password") {
        password = value();
        havePassword = true;
      } else if (command.empty()) {
        command = word;
      } else {
        rest.push_back(word);
      }
    }
    if (machineDir.empty() || command.empty()) throw UsageError(kUsage);
    platform::Machine machine = platform::Machine::Open(machineDir);
    const std::string programDir =
        platform::ExtractFilePath(keys::ProductIniPath(machine, "C:\\Program Files\\NimbraPost\\"));
    if (user.empty()) {
      const auto ini = machine.HostPath(platform::JoinWindowsPath(programDir, "WS.INI"));
      if (ini) user = platform::ProfileFile(*ini).ReadString("WorkStation", "DefaultUser", "");
      if (user.empty()) user = machine.UserName();
    }
    if (!havePassword) password = ReadPassword();

    keys_tool::ConsoleUi ui;
    platform::LibraryLoader libraries(platform::SearchPathFor(machine, programDir),
                                      platform::ResolverFor(machine));
    keys::TNimbraMGR crypto(machine, ui, libraries, programDir);
    crypto.shareSessions = false;
    keys::LogonRecord record{user, password, std::nullopt};
    if (!crypto.Logon(record))
      throw std::runtime_error("logon as " + user + " failed" +
                               (ui.lastMessage.empty() ? "" : ": " + ui.lastMessage));
    keys_tool::RunCommand(crypto, command, rest);
    std::fflush(stdout);
    return 0;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::string message = error.what();
    for (char& c : message)
      if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "nimbra-keys: %s\n", message.c_str());
    return 2;
  }
}
