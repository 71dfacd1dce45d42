#include "ui/ui.h"

#include "ui/event_log.h"

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

Answer Ui::Ask(const Question& question, Buttons buttons) {
  const Answer answer = DoAsk(question, buttons);
  LogLine("QUESTION " + question.id + " " + question.text + " -> " +
          std::string(AnswerName(answer)));
  return answer;
}

std::optional<std::string> Ui::Input(const Question& question, std::string_view initial) {
  auto answer = DoInput(question, initial);
  LogLine("QUESTION " + question.id + " " + question.text + " -> " +
          (answer ? *answer : std::string("Cancel")));
  return answer;
}

namespace {

void LogDialog(Ui& ui, const FileDialog& dialog, const std::optional<std::string>& answer) {
  ui.LogLine("QUESTION " + dialog.id + " " + dialog.title + " -> " +
             (answer ? *answer : std::string("Cancel")));
}

}  // namespace

std::optional<std::string> Ui::SaveFile(const FileDialog& dialog) {
  auto answer = DoFileDialog(DialogKind::SaveFile, dialog);
  LogDialog(*this, dialog, answer);
  return answer;
}

std::optional<std::string> Ui::OpenFile(const FileDialog& dialog) {
  auto answer = DoFileDialog(DialogKind::OpenFile, dialog);
  LogDialog(*this, dialog, answer);
  return answer;
}

std::optional<std::string> Ui::Folder(const FileDialog& dialog) {
  auto answer = DoFileDialog(DialogKind::Folder, dialog);
  LogDialog(*this, dialog, answer);
  return answer;
}

ModalResult Ui::ShowModal(Form& dialog) {
  LogLine("DIALOG " + dialog.Name() + " " + dialog.caption);
  dialog.modalResult = ModalResult::None;
  return DoShowModal(dialog);
}

void Ui::EndProcess(int code, std::string_view reason) {
  LogLine("END " + std::to_string(code) + " " + std::string(reason));
  throw ProcessEnd{code, std::string(reason)};
}

}  // namespace nimbra::ui
