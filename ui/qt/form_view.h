#pragma once

#include <QBoxLayout>
#include <memory>
#include <vector>

#include "ui/qt/control_binding.h"

namespace nimbra::uiqt {

// The bindings of a set of controls, laid out top to bottom in the model's
// order (which is also the Tab order): runs of buttons share a row, and a
// label is the buddy of the control after it, so that its "&" mnemonic moves
// the focus there.
class ControlSet {
 public:
  ControlSet(ui::Form& form, const std::vector<ui::Control*>& controls, const Dispatch& dispatch,
             const PictureLoader& pictures, QWidget* parent, QBoxLayout* layout);

  bool Sync();  // every binding; whether any widget changed
  const std::vector<std::unique_ptr<ControlBinding>>& Bindings() const { return bindings_; }
  ControlBinding* Find(const std::string& name) const;

 private:
  std::vector<std::unique_ptr<ControlBinding>> bindings_;
};

}  // namespace nimbra::uiqt
