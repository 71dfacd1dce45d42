#pragma once

#include <QPixmap>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/machine.h"
#include "ui/qt/recorder.h"
#include "ui/qt/windows.h"
#include "ui/ui.h"

namespace nimbra::uiqt {

// The Ui of a person at the Qt window. Every event the person causes runs
// through Run: the end of the process and errors are caught there (they
// must not cross Qt's event loop) and kept, every open event loop is left,
// and the code that asked a question, showed a dialog or pumped messages
// gets the end again once its loop returns. After every event, timer tick
// and ProcessMessages each live window is brought in step with the model.
class QtUi : public ui::Ui {
 public:
  explicit QtUi(platform::Machine& machine);
  ~QtUi() override;

  // Runs model code for an event (`source`: the control used, or null).
  void Run(const ui::Control* source, const std::function<void()>& action);
  // Every live window in step with the model.
  void SyncAll();
  // Set once the process has ended (Finish, Exit, a fatal stop).
  const std::optional<ui::ProcessEnd>& Ended() const { return ended_; }

  // The person's session: Qt's main event loop until the process ends.
  void RunEventLoop();

  WizardWindow* MainWindow() const { return main_.get(); }
  // The window showing a form (the wizard, a companion window or an open
  // dialog), or null.
  FormWindowBase* WindowOf(const ui::Form& form) const;
  // Writes the answer file of this session (see Recorder) when given.
  void Record(std::unique_ptr<Recorder> recorder) { recorder_ = std::move(recorder); }
  Recorder* Recording() const { return recorder_.get(); }

  void ShowWindow(ui::Form& window, bool show) override;
  void SetMainForm(ui::Form& form) override;
  void ProcessMessages() override;
  void SetBusyCursor(bool busy) override;
  ui::Point CursorPos() override;
  int StartTimer(int intervalMs, std::function<void()> tick) override;
  void StopTimer(int id) override;

 protected:
  void DoMessage(std::string_view caption, std::string_view text) override;
  ui::Answer DoAsk(const ui::Question& question, ui::Buttons buttons) override;
  std::optional<std::string> DoInput(const ui::Question& question,
                                     std::string_view initial) override;
  std::optional<std::string> DoFileDialog(DialogKind kind, const ui::FileDialog& dialog) override;
  ui::ModalResult DoShowModal(ui::Form& dialog) override;
  ui::ModalResult DoShowModalAgain(ui::Form& dialog, std::string_view refusal) override;

 private:
  void End(const ui::ProcessEnd& end);
  void ThrowIfEnded() const;
  QPixmap Picture(const std::string& windowsPath) const;
  Dispatch MakeDispatch();
  QWidget* Parent() const;

  platform::Machine& machine_;
  ui::Form* mainForm_ = nullptr;
  std::unique_ptr<WizardWindow> main_;
  std::map<const ui::Form*, std::unique_ptr<FormWindow>> modeless_;
  std::vector<FormWindow*> modal_;  // open dialogs, innermost last
  std::map<int, std::unique_ptr<QTimer>> timers_;
  int nextTimer_ = 1;
  bool busy_ = false;
  bool inEventLoop_ = false;
  std::optional<ui::ProcessEnd> ended_;
  std::unique_ptr<Recorder> recorder_;
  const ui::Control* lastPressed_ = nullptr;  // in the innermost dialog
};

}  // namespace nimbra::uiqt
