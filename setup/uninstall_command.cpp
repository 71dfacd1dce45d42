#include "setup/uninstall_command.h"

#include <ostream>

#include "detect/mailbox_library.h"
#include "detect/mailbox_reader.h"
#include "platform/processes/library.h"
#include "setup/uninstall.h"
#include "ui/questions.h"

namespace nimbra::setup {

namespace {

std::string QuestionText(std::string_view id) {
  for (const ui::QuestionInfo& info : ui::AllQuestions()) {
    if (info.id == id) return std::string(info.text);
  }
  return std::string(id);
}

}  // namespace

int RunUninstallCommand(platform::Machine& machine, ui::Ui& ui, DataChoice data,
                        std::ostream& out) {
  const auto found = Uninstaller(machine, ui).FindInstallation();
  // The mailboxes' accounts are given back through the mail programs' own
  // library, as the protection reached them.
  detect::DetectContext context(machine, ui, found ? *found : std::string("C:\\"));
  platform::LibraryLoader libraries(machine, context.setupDir);
  detect::RegisterMailboxLibrary(libraries, machine);
  detect::LibraryMailboxReader mailboxes(context, libraries);
  Uninstaller uninstaller(machine, ui, &mailboxes);
  if (!found || uninstaller.AlreadyUninstalled()) {
    if (found) uninstaller.Run(*found, true);  // only what a stopped run left goes
    out << "Nothing to remove: no NimbraPost installation was found on this machine.\n";
    for (const std::string& line : uninstaller.Summary()) out << "  " << line << "\n";
    ui.LogLine("UNINSTALL nothing to remove");
    return 0;
  }
  bool keepData = true;
  if (data == DataChoice::Ask) {
    keepData = !ui.AskYesNo({std::string(ui::q::RemoveDataFiles),
                             QuestionText(ui::q::RemoveDataFiles), "NimbraPost Uninstall"});
  } else if (data == DataChoice::KeepUnasked) {
    out << "The data files are kept: --silent without an answer file keeps them (give "
           "--answers with RemoveDataFiles=Yes to remove them).\n";
  }
  out << "Uninstalling NimbraPost from " << *found << "\n";
  const int code = uninstaller.Run(*found, keepData);
  for (const std::string& line : uninstaller.Summary()) out << "  " << line << "\n";
  out << (code == 0 ? "NimbraPost was uninstalled.\n" : "The uninstall failed.\n");
  return code;
}

}  // namespace nimbra::setup
