#include "ui/questions.h"

namespace nimbra::ui {

namespace {

constexpr QuestionInfo kQuestions[] = {
    {q::ExitSetup, "Are you sure you want to Exit Setup?"},
    {q::JoinExistingDatabase,
     "The data file location already contains a key database. Would you like to connect as a "
     "client to this database?"},
    {q::OverwriteDataFiles,
     "Setup is about to overwrite existing Data files with this installation.\r\nClick Yes to "
     "Overwrite files or Click No to use existing database"},
    {q::OldVersionDetected,
     "An old Version of NimbraPost has been detected on this Machine.\r\nIt should be uninstalled "
     "before proceding.\r\nNimbraPost may already be inactive on this machine.\r\nClick Okay to "
     "Uninstall NimbraPost,\r\nclick Ignore to proceed,\r\nClick Cancel to stop the set-up"},
    {q::InstallPgpDrivers,
     "No PGP Drivers were found on your system, would you like to install them now?"},
    {q::UpdateRecipientKey, "Do you wish to update <name>"},
    {q::AddEmailAddress, "Enter an Email Address"},
    {q::MailboxPassword, "<program> MailBox : <mailbox>"},
    {q::ProgramLocationDialog, "Select location for the NimbraPost Program Files."},
    {q::DataLocationDialog, "Select Location for the NimbraPost Data Files."},
    {q::AccountsFileDialog, "Load from File"},
    {q::OldVersionFolderDialog, "Select the NimbraPost 2.1x File Directory"},
};

}  // namespace

std::span<const QuestionInfo> AllQuestions() {
  return kQuestions;
}

}  // namespace nimbra::ui
