#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ui/form.h"

namespace nimbra::ui {

class EventLog;

// Buttons offered by a question.
enum class Buttons { YesNo, OkCancel, OkCancelIgnore };
enum class Answer { Ok, Cancel, Yes, No, Ignore };
std::string_view AnswerName(Answer answer);  // "Yes", "No", "OK", "Cancel", "Ignore"

// A question needing an answer. `id` is stable across releases (see
// ui/questions.h) so that unattended runs can answer it by name.
struct Question {
  std::string id;
  std::string text;
  std::string caption;
};

// A file or folder dialog. `id` is stable like a question's.
struct FileDialog {
  std::string id;
  std::string title;
  std::string initialDir;  // Windows path
  std::string fileName;
  std::string filter;
};

struct Point {
  int x = 0;
  int y = 0;
};

// Ends the process at once (Finish, Exit, a fatal stop). Deliberately not a
// std::exception: handlers that catch errors around a page action must let it
// through. The program's main catches it and returns `code`.
struct ProcessEnd {
  int code = 0;
  std::string reason;
};

// Exit codes of the wizard process.
inline constexpr int kExitFinished = 0;
inline constexpr int kExitStopped = 1;  // a fatal stop: no rights, incompatible edition
inline constexpr int kExitUserExit = 2;
inline constexpr int kExitUnanswered = 3;  // unattended: a question without an answer
inline constexpr int kExitStuck = 4;       // unattended: a page kept the user on it

// Every interaction of the wizard with a person. Two implementations: the Qt
// window and the answer-file driver. Public calls log what happened (when a
// log is attached) and forward to the implementation's Do* methods.
class Ui {
 public:
  virtual ~Ui() = default;

  // Product message box: OK and Cancel, answer not used.
  void Message(std::string_view caption, std::string_view text);
  // Confirmation: returns the button pressed.
  Answer Ask(const Question& question, Buttons buttons);
  bool AskYesNo(const Question& question) { return Ask(question, Buttons::YesNo) == Answer::Yes; }
  bool AskOkCancel(const Question& question) {
    return Ask(question, Buttons::OkCancel) == Answer::Ok;
  }
  // Input box: caption in question.caption, prompt in question.text; empty when cancelled.
  std::optional<std::string> Input(const Question& question, std::string_view initial);
  // File and folder dialogs: the chosen Windows path, empty when cancelled.
  std::optional<std::string> SaveFile(const FileDialog& dialog);
  std::optional<std::string> OpenFile(const FileDialog& dialog);
  std::optional<std::string> Folder(const FileDialog& dialog);

  // Shows a dialog modally until its modalResult is set; returns it.
  ModalResult ShowModal(Form& dialog);
  // Shows a dialog again after it refused what was entered in it (a wrong
  // password; `refusal` says why). A person tries again; an answer file
  // holds only the one answer, and its Ui ends the run instead.
  ModalResult ShowModalAgain(Form& dialog, std::string_view refusal);
  // Shows or hides a modeless window (wait box, preparation box, backdrop).
  virtual void ShowWindow(Form& window, bool show) = 0;
  // The wizard's main window, shown by the program after creation.
  virtual void SetMainForm(Form& form) = 0;

  // Lets pending window messages (clicks, timer ticks, repaints) run.
  virtual void ProcessMessages() = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual Point CursorPos() = 0;
  // Repeating timer; returns an id for StopTimer.
  virtual int StartTimer(int intervalMs, std::function<void()> tick) = 0;
  virtual void StopTimer(int id) = 0;

  // Ends the process (see ProcessEnd).
  [[noreturn]] void EndProcess(int code, std::string_view reason);

  // The event log; lines are written only when one is attached.
  void SetLog(EventLog* log) { log_ = log; }
  EventLog* Log() const { return log_; }
  void LogLine(std::string_view line);

 protected:
  // An implementation's word on how it came to its answer ("by Default="),
  // added to the log line of the question it is answering.
  void NoteAnswer(std::string note) { answerNote_ = std::move(note); }

  virtual void DoMessage(std::string_view caption, std::string_view text) = 0;
  virtual Answer DoAsk(const Question& question, Buttons buttons) = 0;
  virtual std::optional<std::string> DoInput(const Question& question,
                                             std::string_view initial) = 0;
  enum class DialogKind { SaveFile, OpenFile, Folder };
  virtual std::optional<std::string> DoFileDialog(DialogKind kind, const FileDialog& dialog) = 0;
  virtual ModalResult DoShowModal(Form& dialog) = 0;
  virtual ModalResult DoShowModalAgain(Form& dialog, std::string_view /*refusal*/) {
    return DoShowModal(dialog);
  }

 private:
  void LogAnswer(std::string_view id, std::string_view text, std::string_view answer);

  EventLog* log_ = nullptr;
  std::string answerNote_;
};

}  // namespace nimbra::ui
