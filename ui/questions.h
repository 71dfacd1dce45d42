#pragma once

#include <span>
#include <string_view>

namespace nimbra::ui {

// Every question and dialog the wizard puts to a person, with its stable
// identifier. Unattended answer files name these identifiers; the README lists
// this table. Texts that are built at run time hold their fixed beginning.
struct QuestionInfo {
  std::string_view id;
  std::string_view text;
};

namespace q {
inline constexpr std::string_view ExitSetup = "ExitSetup";
inline constexpr std::string_view JoinExistingDatabase = "JoinExistingDatabase";
inline constexpr std::string_view OverwriteDataFiles = "OverwriteDataFiles";
inline constexpr std::string_view OldVersionDetected = "OldVersionDetected";
inline constexpr std::string_view InstallPgpDrivers = "InstallPgpDrivers";
inline constexpr std::string_view UpdateRecipientKey = "UpdateRecipientKey";
inline constexpr std::string_view AddEmailAddress = "AddEmailAddress";
inline constexpr std::string_view MailboxPassword = "MailboxPassword";
inline constexpr std::string_view ProgramLocationDialog = "ProgramLocationDialog";
inline constexpr std::string_view DataLocationDialog = "DataLocationDialog";
inline constexpr std::string_view AccountsFileDialog = "AccountsFileDialog";
inline constexpr std::string_view OldVersionFolderDialog = "OldVersionFolderDialog";
inline constexpr std::string_view RemoveDataFiles = "RemoveDataFiles";
}  // namespace q

std::span<const QuestionInfo> AllQuestions();

// Whether an answer-file key can answer a question: an identifier, or the
// beginning of a question's text (case ignored), where a "<...>" part of a
// text stands for any text; a key must reach past a text's leading "<...>"
// part into the words after it.
bool AnswersSomeQuestion(std::string_view key);

}  // namespace nimbra::ui
