#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "ui/form.h"

namespace nimbra::uiqt {

// Runs model code for a widget's signal (`source`: the control the person
// used, or null): the Ui catches what must not cross Qt's event loop (the end
// of the process, errors) and brings every window in step with the model
// afterwards.
using Dispatch = std::function<void(const ui::Control* source, const std::function<void()>&)>;

// Turns a Windows path of a picture into a loaded image (null when none).
using PictureLoader = std::function<QPixmap(const std::string& windowsPath)>;

// One control of the form model and the widget that shows it. Handlers write
// the control's plain fields directly, so the binding keeps the state it last
// applied to its widget: Sync compares it with the model and updates the
// widget only where they differ. That comparison is the observer of the model.
class ControlBinding {
 public:
  ControlBinding(ui::Form& form, ui::Control& control, const Dispatch& dispatch,
                 const PictureLoader& pictures, QWidget* parent);
  ControlBinding(const ControlBinding&) = delete;
  ControlBinding& operator=(const ControlBinding&) = delete;

  QWidget* Widget() const { return widget_; }
  ui::Control& Model() const { return control_; }
  // Applies what changed in the model since the last Sync; returns whether
  // the widget changed.
  bool Sync();
  // Whether the widget takes keyboard focus (a label's buddy).
  bool Focusable() const;

 private:
  struct Applied {
    bool valid = false;
    std::string text, hint;
    bool enabled = true, visible = true, checked = false;
    std::vector<ui::ListItem> items;
    int itemIndex = -1;
    std::vector<std::vector<std::string>> cells;
    int position = 0, minimum = 0, maximum = 100;
  };
  void Create(QWidget* parent);
  void Forward(const std::function<void()>& action);
  void ApplyText();
  void ApplyItems();
  void ApplyCells();

  ui::Form& form_;
  ui::Control& control_;
  Dispatch dispatch_;
  PictureLoader pictures_;
  QWidget* widget_ = nullptr;
  Applied applied_;
  // Set while the binding writes to its widget: the widget's change signals
  // then come from the model, not from the person, and are not forwarded.
  bool applying_ = false;
};

// A caption without its "&" mnemonic markers ("&&" stays one "&").
QString PlainCaption(const std::string& caption);

}  // namespace nimbra::uiqt
