#include "ui/qt/drive_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/strings.h"
#include "platform/files/path.h"

namespace nimbra::uiqt {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
constexpr int kPathRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kFilledRole = Qt::UserRole + 2;

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

}  // namespace

DriveDialog::DriveDialog(const platform::Machine& machine, Mode mode, const std::string& title,
                         const std::string& initialDir, const std::string& fileName,
                         QWidget* parent)
    : QDialog(parent), machine_(machine), mode_(mode) {
  setWindowTitle(Q(title));
  setObjectName("DriveDialog");
  auto* layout = new QVBoxLayout(this);
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->setAccessibleName(mode == Mode::Folder ? "Folders" : "Folders and files");
  layout->addWidget(tree_);
  auto* nameLabel = new QLabel(mode == Mode::Folder ? "&Folder:" : "File &name:", this);
  name_ = new QLineEdit(this);
  name_->setObjectName("PathName");
  name_->setAccessibleName(nameLabel->text().remove('&'));
  nameLabel->setBuddy(name_);
  layout->addWidget(nameLabel);
  layout->addWidget(name_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  for (const std::string& root : machine.DriveRoots()) AddEntry(nullptr, root, root, true);
  connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { Fill(item); });
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!item) return;
    const std::string path = item->data(0, kPathRole).toString().toStdString();
    const bool folder = item->data(0, kFolderRole).toBool();
    if (mode_ == Mode::Folder || !folder) {
      name_->setText(Q(path));
    } else {
      name_->setText(Q(WithSlash(path) + platform::ExtractFileName(name_->text().toStdString())));
    }
  });
  name_->setText(Q(mode == Mode::Folder ? initialDir : WithSlash(initialDir) + fileName));
  Reveal(initialDir);
  resize(420, 360);
}

QTreeWidgetItem* DriveDialog::AddEntry(QTreeWidgetItem* parent, const std::string& path,
                                       const std::string& label, bool folder) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
  item->setText(0, Q(label));
  item->setData(0, kPathRole, Q(path));
  item->setData(0, kFolderRole, folder);
  if (folder) item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void DriveDialog::Fill(QTreeWidgetItem* item) {
  if (item->data(0, kFilledRole).toBool()) return;
  item->setData(0, kFilledRole, true);
  const std::string dir = WithSlash(item->data(0, kPathRole).toString().toStdString());
  for (const platform::DirEntry& entry : machine_.ListDirectory(dir)) {
    if (!entry.is_directory && mode_ == Mode::Folder) continue;
    AddEntry(item, dir + entry.name, entry.name, entry.is_directory);
  }
  if (item->childCount() == 0) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

// Opens the tree down to the folder a dialog starts in.
void DriveDialog::Reveal(const std::string& dir) {
  QTreeWidgetItem* at = nullptr;
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = tree_->topLevelItem(i);
    if (StartsText(WithSlash(dir), root->data(0, kPathRole).toString().toStdString())) at = root;
  }
  while (at) {
    at->setExpanded(true);
    Fill(at);
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < at->childCount(); ++i) {
      const std::string child =
          WithSlash(at->child(i)->data(0, kPathRole).toString().toStdString());
      if (at->child(i)->data(0, kFolderRole).toBool() && StartsText(WithSlash(dir), child))
        next = at->child(i);
    }
    if (!next) break;
    at = next;
  }
  if (at) tree_->setCurrentItem(at);
}

std::optional<std::string> DriveDialog::Chosen() const {
  if (result() != QDialog::Accepted) return std::nullopt;
  const std::string path = name_->text().toStdString();
  if (path.empty()) return std::nullopt;
  return path;
}

}  // namespace nimbra::uiqt
