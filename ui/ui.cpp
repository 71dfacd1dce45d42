#include "ui/ui.h"

#include "ui/event_log.h"
#include "ui/questions.h"

namespace nimbra::ui {

std::string_view AnswerName(Answer answer) {
  switch (answer) {
    case Answer::Ok:
      return "OK";
    case Answer::Cancel:
      return "Cancel";
    case Answer::Yes:
      return "Yes";
    case Answer::No:
      return "No";
    case Answer::Ignore:
      return "Ignore";
  }
  return "?";
}

void Ui::LogLine(std::string_view line) {
  if (log_) log_->Write(line);
}

void Ui::Message(std::string_view caption, std::string_view text) {
  LogLine("MESSAGE " + std::string(text));
  DoMessage(caption, text);
}

void Ui::LogAnswer(std::string_view id, std::string_view text, std::string_view answer) {
  std::string line =
      "QUESTION " + std::string(id) + " " + std::string(text) + " -> " + std::string(answer);
  if (!answerNote_.empty()) line += " (" + answerNote_ + ")";
  answerNote_.clear();
  LogLine(line);
}

Answer Ui::Ask(const Question& question, Buttons buttons) {
  answerNote_.clear();
  const Answer answer = DoAsk(question, buttons);
  LogAnswer(question.id, question.text, AnswerName(answer));
  return answer;
}

std::optional<std::string> Ui::Input(const Question& question, std::string_view initial) {
  answerNote_.clear();
  auto answer = DoInput(question, initial);
  // A password entered is never written to the log.
  const bool secret = question.id == q::MailboxPassword;
  LogAnswer(question.id, question.text,
            !answer  ? std::string("Cancel")
            : secret ? std::string("(a password)")
                     : *answer);
  return answer;
}

std::optional<std::string> Ui::SaveFile(const FileDialog& dialog) {
  answerNote_.clear();
  auto answer = DoFileDialog(DialogKind::SaveFile, dialog);
  LogAnswer(dialog.id, dialog.title, answer ? *answer : std::string("Cancel"));
  return answer;
}

std::optional<std::string> Ui::OpenFile(const FileDialog& dialog) {
  answerNote_.clear();
  auto answer = DoFileDialog(DialogKind::OpenFile, dialog);
  LogAnswer(dialog.id, dialog.title, answer ? *answer : std::string("Cancel"));
  return answer;
}

std::optional<std::string> Ui::Folder(const FileDialog& dialog) {
  answerNote_.clear();
  auto answer = DoFileDialog(DialogKind::Folder, dialog);
  LogAnswer(dialog.id, dialog.title, answer ? *answer : std::string("Cancel"));
  return answer;
}

ModalResult Ui::ShowModal(Form& dialog) {
  LogLine("DIALOG " + dialog.Name() + " " + dialog.caption);
  dialog.modalResult = ModalResult::None;
  return DoShowModal(dialog);
}

ModalResult Ui::ShowModalAgain(Form& dialog, std::string_view refusal) {
  LogLine("DIALOG " + dialog.Name() + " " + dialog.caption + " again: " + std::string(refusal));
  dialog.modalResult = ModalResult::None;
  return DoShowModalAgain(dialog, refusal);
}

void Ui::EndProcess(int code, std::string_view reason) {
  LogLine("END " + std::to_string(code) + " " + std::string(reason));
  throw ProcessEnd{code, std::string(reason)};
}

}  // namespace nimbra::ui
