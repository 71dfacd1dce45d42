#include "ui/qt/qt_ui.h"

#include <QApplication>
#include <QCursor>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "ui/qt/drive_dialog.h"
#include "ui/questions.h"

namespace nimbra::uiqt {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

void Centre(QWidget& window) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
  }
}

}  // namespace

QtUi::QtUi(platform::Machine& machine) : machine_(machine) {}

QtUi::~QtUi() {
  if (busy_) QApplication::restoreOverrideCursor();
}

Dispatch QtUi::MakeDispatch() {
  return [this](const ui::Control* source, const std::function<void()>& action) {
    Run(source, action);
  };
}

QWidget* QtUi::Parent() const {
  if (!modal_.empty()) return modal_.back();
  return main_.get();
}

QPixmap QtUi::Picture(const std::string& windowsPath) const {
  const auto host = machine_.HostPath(windowsPath);
  QPixmap picture;
  if (host) picture.load(QString::fromStdString(host->string()));
  return picture;
}

void QtUi::Run(const ui::Control* source, const std::function<void()>& action) {
  if (ended_) return;
  const bool onWizard = mainForm_ && source && mainForm_->Find(source->Name()) == source;
  if (onWizard && recorder_) recorder_->BeforeEvent(*mainForm_, source);
  if (source && source->Kind() == ui::ControlKind::Button) lastPressed_ = source;
  try {
    action();
  } catch (const ui::ProcessEnd& end) {
    End(end);
  } catch (const std::exception& e) {
    // What no handler caught stops the wizard, as it stops an unattended run.
    const std::string text = std::string("error: ") + e.what();
    LogLine("ERROR " + text);
    QMessageBox::critical(Parent(), "NimbraPost Auto Setup", Q(text));
    End({ui::kExitStopped, text});
  }
  if (onWizard && recorder_) recorder_->AfterEvent(*mainForm_, ended_.has_value());
  SyncAll();
}

void QtUi::End(const ui::ProcessEnd& end) {
  if (ended_) return;
  ended_ = end;
  // Every open box and dialog closes; the code that opened it gets the end
  // when its exec returns.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(window);
    if (dialog && dialog->isModal() && dialog->isVisible()) dialog->done(QDialog::Rejected);
  }
  for (FormWindow* dialog : modal_) dialog->done(QDialog::Rejected);
  // Only a running main loop is told to end: exit() without one would make
  // every later event loop return at once.
  if (inEventLoop_) QCoreApplication::exit(end.code);
}

void QtUi::RunEventLoop() {
  if (ended_) return;
  inEventLoop_ = true;
  QApplication::exec();
  inEventLoop_ = false;
}

void QtUi::ThrowIfEnded() const {
  if (ended_) throw *ended_;
}

void QtUi::SyncAll() {
  if (main_) {
    main_->Sync();
    main_->setVisible(mainForm_->visible);
  }
  if (recorder_ && mainForm_) recorder_->Observe(*mainForm_);
  for (auto& [form, window] : modeless_) window->Sync();
  for (FormWindow* dialog : modal_) {
    dialog->Sync();
    if (dialog->Model().modalResult != ui::ModalResult::None) dialog->done(QDialog::Accepted);
  }
}

FormWindowBase* QtUi::WindowOf(const ui::Form& form) const {
  if (main_ && &form == mainForm_) return main_.get();
  for (FormWindow* dialog : modal_) {
    if (&dialog->Model() == &form) return dialog;
  }
  const auto it = modeless_.find(&form);
  return it == modeless_.end() ? nullptr : it->second.get();
}

void QtUi::SetMainForm(ui::Form& form) {
  mainForm_ = &form;
  form.visible = true;
  main_ = std::make_unique<WizardWindow>(form, MakeDispatch(),
                                         [this](const std::string& p) { return Picture(p); });
  Centre(*main_);
  main_->show();
}

void QtUi::ShowWindow(ui::Form& window, bool show) {
  window.visible = show;
  if (&window == mainForm_) {
    if (main_) main_->setVisible(show);
    return;
  }
  auto& shown = modeless_[&window];
  if (!shown) {
    shown = std::make_unique<FormWindow>(
        window, MakeDispatch(), [this](const std::string& p) { return Picture(p); }, nullptr);
    if (window.Name() != "TBackDropForm") Centre(*shown);
  }
  shown->setVisible(show);
  if (show) shown->raise();
  QCoreApplication::processEvents();  // painted before the work it announces begins
}

void QtUi::ProcessMessages() {
  QCoreApplication::processEvents();
  SyncAll();
  ThrowIfEnded();
}

void QtUi::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

ui::Point QtUi::CursorPos() {
  const QPoint global = QCursor::pos();
  const QPoint p = main_ ? main_->mapFromGlobal(global) : global;
  return {p.x(), p.y()};
}

int QtUi::StartTimer(int intervalMs, std::function<void()> tick) {
  const int id = nextTimer_++;
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(intervalMs);
  QObject::connect(timer.get(), &QTimer::timeout, timer.get(),
                   [this, tick = std::move(tick)] { Run(nullptr, tick); });
  timer->start();
  timers_[id] = std::move(timer);
  return id;
}

void QtUi::StopTimer(int id) {
  const auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  // The tick that stops its own timer is still running in it.
  it->second.release()->deleteLater();
  timers_.erase(it);
}

void QtUi::DoMessage(std::string_view caption, std::string_view text) {
  QMessageBox box(QMessageBox::Information, Q(caption), Q(text),
                  QMessageBox::Ok | QMessageBox::Cancel, Parent());
  box.setObjectName("Message");
  box.exec();
  ThrowIfEnded();
}

ui::Answer QtUi::DoAsk(const ui::Question& question, ui::Buttons buttons) {
  using B = QMessageBox;
  B::StandardButtons offered = buttons == ui::Buttons::YesNo ? B::Yes | B::No : B::Ok | B::Cancel;
  if (buttons == ui::Buttons::OkCancelIgnore) offered |= B::Ignore;
  QMessageBox box(B::Question, Q(question.caption), Q(question.text), offered, Parent());
  box.setObjectName(Q(question.id));
  box.setEscapeButton(buttons == ui::Buttons::YesNo ? B::No : B::Cancel);
  const int pressed = box.exec();
  ThrowIfEnded();
  ui::Answer answer;
  switch (pressed) {
    case B::Yes:
      answer = ui::Answer::Yes;
      break;
    case B::No:
      answer = ui::Answer::No;
      break;
    case B::Ok:
      answer = ui::Answer::Ok;
      break;
    case B::Ignore:
      answer = ui::Answer::Ignore;
      break;
    default:
      answer = buttons == ui::Buttons::YesNo ? ui::Answer::No : ui::Answer::Cancel;
      break;
  }
  if (recorder_) recorder_->Answer(question.id, std::string(ui::AnswerName(answer)));
  return answer;
}

std::optional<std::string> QtUi::DoInput(const ui::Question& question, std::string_view initial) {
  QInputDialog box(Parent());
  box.setObjectName(Q(question.id));
  box.setWindowTitle(Q(question.caption));
  box.setLabelText(Q(question.text));
  box.setTextValue(Q(initial));
  if (question.id == ui::q::MailboxPassword) box.setTextEchoMode(QLineEdit::Password);
  const bool ok = box.exec() == QDialog::Accepted;
  ThrowIfEnded();
  std::optional<std::string> value;
  if (ok) value = box.textValue().toStdString();
  if (recorder_) recorder_->Answer(question.id, value.value_or("Cancel"));
  return value;
}

std::optional<std::string> QtUi::DoFileDialog(DialogKind kind, const ui::FileDialog& dialog) {
  const auto mode = kind == DialogKind::Folder     ? DriveDialog::Mode::Folder
                    : kind == DialogKind::SaveFile ? DriveDialog::Mode::Save
                                                   : DriveDialog::Mode::Open;
  DriveDialog box(machine_, mode, dialog.title, dialog.initialDir, dialog.fileName, Parent());
  box.setObjectName(Q(dialog.id));
  box.exec();
  ThrowIfEnded();
  const auto chosen = box.Chosen();
  if (recorder_) recorder_->Answer(dialog.id, chosen.value_or("Cancel"));
  return chosen;
}

ui::ModalResult QtUi::DoShowModal(ui::Form& dialog) {
  dialog.modalResult = ui::ModalResult::None;
  const Values before = recorder_ ? ControlValues(dialog,
                                                  [&] {
                                                    std::vector<ui::Control*> all;
                                                    for (const auto& c : dialog.Controls())
                                                      all.push_back(dialog.Find(c.Name()));
                                                    return all;
                                                  }())
                                  : Values{};
  FormWindow window(
      dialog, MakeDispatch(), [this](const std::string& p) { return Picture(p); }, Parent());
  window.setWindowModality(Qt::ApplicationModal);
  modal_.push_back(&window);
  lastPressed_ = nullptr;
  dialog.visible = true;
  if (!ended_) window.exec();
  modal_.pop_back();
  dialog.visible = false;
  ThrowIfEnded();
  if (dialog.modalResult == ui::ModalResult::None) dialog.modalResult = ui::ModalResult::Cancel;
  if (recorder_) {
    const bool own = lastPressed_ && dialog.Find(lastPressed_->Name()) == lastPressed_;
    recorder_->Dialog(dialog, before, own ? lastPressed_->Name() : std::string());
  }
  return dialog.modalResult;
}

ui::ModalResult QtUi::DoShowModalAgain(ui::Form& dialog, std::string_view refusal) {
  QMessageBox::warning(Parent(), Q(dialog.caption), Q(refusal));
  ThrowIfEnded();
  return DoShowModal(dialog);
}

}  // namespace nimbra::uiqt
