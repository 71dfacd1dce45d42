#include "ui/questions.h"

#include "core/strings.h"

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
    {q::RemoveDataFiles,
     "Remove the data files too (key databases, users file and e-mail account records)?\r\n"
     "Click No to keep them for a later installation"},
};

}  // namespace

std::span<const QuestionInfo> AllQuestions() {
  return kQuestions;
}

namespace {

// Can key begin a text made from this pattern? Up to the first "<...>" part
// the key must follow the pattern's words; once past it, any text follows.
bool BeginsPattern(std::string_view key, std::string_view pattern) {
  const std::size_t hole = pattern.find('<');
  const std::string_view fixed = pattern.substr(0, hole);
  if (hole != 0) {
    if (key.size() <= fixed.size()) return StartsText(fixed, key);
    return StartsText(key, fixed) && hole != std::string_view::npos;
  }
  // A leading part: some text, then the words after it.
  const std::size_t close = pattern.find('>');
  if (close == std::string_view::npos) return false;
  const std::string_view words = pattern.substr(close + 1);
  for (std::size_t start = 1; start < key.size(); ++start) {
    if (BeginsPattern(key.substr(start), words)) return true;
  }
  return false;
}

}  // namespace

bool AnswersSomeQuestion(std::string_view key) {
  for (const QuestionInfo& question : kQuestions) {
    if (AnsiSameText(key, question.id) || BeginsPattern(key, question.text)) return true;
  }
  return false;
}

}  // namespace nimbra::ui
