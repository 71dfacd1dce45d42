#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "platform/machine.h"

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace nimbra::uiqt {

// Picks a Windows path of the emulated machine: its drives and their
// folders (and, to open or save, files) in a tree read as it is opened, and
// a name box. Never shows the host's own files.
class DriveDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Mode { Open, Save, Folder };
  DriveDialog(const platform::Machine& machine, Mode mode, const std::string& title,
              const std::string& initialDir, const std::string& fileName, QWidget* parent);
  // The chosen path once accepted.
  std::optional<std::string> Chosen() const;

 private:
  QTreeWidgetItem* AddEntry(QTreeWidgetItem* parent, const std::string& path,
                            const std::string& label, bool folder);
  void Fill(QTreeWidgetItem* item);
  void Reveal(const std::string& dir);

  const platform::Machine& machine_;
  Mode mode_;
  QTreeWidget* tree_ = nullptr;
  QLineEdit* name_ = nullptr;
};

}  // namespace nimbra::uiqt
