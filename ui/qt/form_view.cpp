#include "ui/qt/form_view.h"

#include <QLabel>
#include <QPushButton>

#include "core/strings.h"

namespace nimbra::uiqt {

ControlSet::ControlSet(ui::Form& form, const std::vector<ui::Control*>& controls,
                       const Dispatch& dispatch, const PictureLoader& pictures, QWidget* parent,
                       QBoxLayout* layout) {
  QHBoxLayout* buttonRow = nullptr;
  QLabel* pendingBuddy = nullptr;
  for (ui::Control* control : controls) {
    auto binding = std::make_unique<ControlBinding>(form, *control, dispatch, pictures, parent);
    QWidget* widget = binding->Widget();
    if (control->Kind() == ui::ControlKind::Button) {
      if (!buttonRow) {
        buttonRow = new QHBoxLayout;
        layout->addLayout(buttonRow);
      }
      buttonRow->addWidget(widget);
    } else {
      if (buttonRow) buttonRow->addStretch();
      buttonRow = nullptr;
      layout->addWidget(widget);
    }
    if (pendingBuddy && binding->Focusable()) {
      pendingBuddy->setBuddy(widget);
      pendingBuddy = nullptr;
    }
    if (auto* label = qobject_cast<QLabel*>(widget);
        label && control->Kind() == ui::ControlKind::Label)
      pendingBuddy = label;
    bindings_.push_back(std::move(binding));
  }
  if (buttonRow) buttonRow->addStretch();
  // The buddies' mnemonics: a label with a buddy shows its "&" letter.
  for (const auto& b : bindings_) {
    if (auto* label = qobject_cast<QLabel*>(b->Widget()); label && label->buddy())
      label->setTextFormat(Qt::AutoText);
  }
}

bool ControlSet::Sync() {
  bool changed = false;
  for (const auto& binding : bindings_) changed = binding->Sync() || changed;
  return changed;
}

ControlBinding* ControlSet::Find(const std::string& name) const {
  for (const auto& binding : bindings_) {
    if (SameText(binding->Model().Name(), name)) return binding.get();
  }
  return nullptr;
}

}  // namespace nimbra::uiqt
