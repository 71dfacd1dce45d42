#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <map>
#include <memory>
#include <string>

#include "ui/qt/form_view.h"

namespace nimbra::uiqt {

// A window showing a form of the model; the Ui keeps every live one in step.
class FormWindowBase : public QDialog {
  Q_OBJECT
 public:
  FormWindowBase(ui::Form& form, Dispatch dispatch, PictureLoader pictures, QWidget* parent);
  ui::Form& Model() const { return form_; }
  // Brings the window in step with the model (see ControlBinding::Sync).
  virtual void Sync() = 0;
  // The widget of a control, or null.
  virtual QWidget* WidgetOf(const std::string& control) const = 0;

 protected:
  ui::Form& form_;
  Dispatch dispatch_;
  PictureLoader pictures_;
  std::string appliedCaption_;
};

// The wizard `TSetupForm`: header with logo and release, one page of the
// page stack at a time (no tabs) inside its group box, and the bottom bar.
// Enter presses the default button (Finish where it shows, else Next);
// Escape asks the Exit question as the Exit button does.
class WizardWindow : public FormWindowBase {
  Q_OBJECT
 public:
  WizardWindow(ui::Form& form, Dispatch dispatch, PictureLoader pictures);
  void Sync() override;
  QWidget* WidgetOf(const std::string& control) const override;
  QStackedWidget* Stack() const { return stack_; }
  // The page widget (its scroll area) of a page name, or null.
  QWidget* PageWidget(const std::string& page) const;

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  // Mouse moves over a page go to the form's own handler (the random data
  // gathered while the navigation waits for it).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct PageView {
    QWidget* widget = nullptr;
    QGroupBox* box = nullptr;
    std::unique_ptr<ControlSet> controls;
    std::string title;
  };
  QStackedWidget* stack_ = nullptr;
  std::map<std::string, PageView> pages_;
  std::unique_ptr<ControlSet> frame_;
  std::string shownPage_;
};

// A companion window or dialog: its controls top to bottom, the backdrop
// with its logo placement, the mouse capture over the whole client area.
// Enter presses OK or Logon; Escape presses Cancel where the window has one.
class FormWindow : public FormWindowBase {
  Q_OBJECT
 public:
  FormWindow(ui::Form& form, Dispatch dispatch, PictureLoader pictures, QWidget* parent);
  void Sync() override;
  QWidget* WidgetOf(const std::string& control) const override;

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void PlaceBackdrop();
  std::unique_ptr<ControlSet> controls_;
};

}  // namespace nimbra::uiqt
