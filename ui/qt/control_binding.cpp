#include "ui/qt/control_binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "core/strings.h"
#include "ui/qt/picture.h"

namespace nimbra::uiqt {

using K = ui::ControlKind;

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// Edits whose characters are shown as stars: the pass-phrase boxes.
bool IsSecret(const ui::Control& control) {
  return UpperCase(control.Name()).find("PASS") != std::string::npos;
}

int Columns(const ui::Control& control) {
  std::size_t columns = 0;
  for (const auto& row : control.cells) columns = std::max(columns, row.size());
  return static_cast<int>(columns);
}

}  // namespace

QString PlainCaption(const std::string& caption) {
  std::string out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += caption[++i];
      continue;
    }
    out += caption[i];
  }
  return Q(out);
}

ControlBinding::ControlBinding(ui::Form& form, ui::Control& control, const Dispatch& dispatch,
                               const PictureLoader& pictures, QWidget* parent)
    : form_(form), control_(control), dispatch_(dispatch), pictures_(pictures) {
  Create(parent);
  widget_->setObjectName(Q(control_.Name()));
  Sync();
}

void ControlBinding::Forward(const std::function<void()>& action) {
  if (applying_) return;
  dispatch_(&control_, action);
}

bool ControlBinding::Focusable() const {
  return widget_->focusPolicy() != Qt::NoFocus && control_.Kind() != K::Label &&
         control_.Kind() != K::Panel && control_.Kind() != K::GroupBox;
}

void ControlBinding::Create(QWidget* parent) {
  ui::Control& c = control_;
  const std::string name = c.Name();
  switch (c.Kind()) {
    case K::Label:
    case K::Panel:
    case K::GroupBox: {
      auto* label = new QLabel(parent);
      label->setWordWrap(true);
      label->setTextFormat(Qt::PlainText);
      if (c.Kind() == K::Panel) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      if (c.Kind() == K::GroupBox) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
      }
      widget_ = label;
      break;
    }
    case K::Edit: {
      auto* edit = new QLineEdit(parent);
      if (IsSecret(c)) edit->setEchoMode(QLineEdit::Password);
      QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString& text) {
        Forward([this, text] {
          control_.text = text.toStdString();
          applied_.text = control_.text;
          if (control_.onChange) control_.onChange();
        });
      });
      widget_ = edit;
      break;
    }
    case K::Memo: {
      auto* memo = new QPlainTextEdit(parent);
      QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [this, memo] {
        Forward([this, memo] {
          std::vector<std::string> lines;
          for (const QString& line : memo->toPlainText().split('\n'))
            lines.push_back(line.toStdString());
          if (!lines.empty() && lines.back().empty()) lines.pop_back();
          control_.SetLines(lines);
          applied_.items = control_.items;
          if (control_.onChange) control_.onChange();
        });
      });
      widget_ = memo;
      break;
    }
    case K::RichText: {
      auto* text = new QTextBrowser(parent);
      text->setOpenLinks(false);
      widget_ = text;
      break;
    }
    case K::CheckBox:
    case K::RadioButton: {
      QAbstractButton* box = nullptr;
      if (c.Kind() == K::CheckBox) {
        box = new QCheckBox(parent);
      } else {
        box = new QRadioButton(parent);
        box->setAutoExclusive(false);  // the model clears the others of the group
      }
      QObject::connect(box, &QAbstractButton::clicked, box, [this, name, box](bool on) {
        Forward([this, name, on, box] {
          // A radio button is cleared only by checking another of its group.
          form_.SetChecked(name, control_.Kind() == K::RadioButton ? true : on);
          if (control_.onClick) control_.onClick();
          (void)box;
        });
      });
      widget_ = box;
      break;
    }
    case K::Button: {
      auto* button = new QPushButton(parent);
      button->setAutoDefault(false);
      QObject::connect(button, &QPushButton::clicked, button,
                       [this, name] { Forward([this, name] { form_.Click(name); }); });
      widget_ = button;
      break;
    }
    case K::ListBox:
    case K::CheckListBox: {
      auto* list = new QListWidget(parent);
      QObject::connect(list, &QListWidget::currentRowChanged, list, [this](int row) {
        Forward([this, row] {
          control_.itemIndex = row;
          applied_.itemIndex = row;
          if (control_.onClick) control_.onClick();
        });
      });
      if (c.Kind() == K::CheckListBox) {
        QObject::connect(list, &QListWidget::itemChanged, list, [this, list](QListWidgetItem* it) {
          Forward([this, list, it] {
            const int row = list->row(it);
            if (row < 0 || row >= static_cast<int>(control_.items.size())) return;
            control_.items[static_cast<std::size_t>(row)].checked = it->checkState() == Qt::Checked;
            applied_.items = control_.items;
            if (control_.onChange) control_.onChange();
          });
        });
      }
      widget_ = list;
      break;
    }
    case K::ComboBox: {
      auto* combo = new QComboBox(parent);
      QObject::connect(combo, &QComboBox::activated, combo, [this, combo](int index) {
        Forward([this, combo, index] {
          control_.itemIndex = index;
          control_.text = combo->itemText(index).toStdString();
          applied_.itemIndex = index;
          applied_.text = control_.text;
          if (control_.onChange) control_.onChange();
          if (control_.onClick) control_.onClick();
        });
      });
      widget_ = combo;
      break;
    }
    case K::RadioGroup: {
      auto* box = new QGroupBox(parent);
      new QVBoxLayout(box);
      widget_ = box;
      break;
    }
    case K::Grid: {
      auto* grid = new QTableWidget(parent);
      grid->verticalHeader()->setVisible(false);
      grid->horizontalHeader()->setStretchLastSection(true);
      QObject::connect(grid, &QTableWidget::cellChanged, grid, [this, grid](int row, int col) {
        Forward([this, grid, row, col] {
          // Row 0 of the model is the title row, shown as the grid's header.
          control_.SetCell(col, row + 1, grid->item(row, col)->text().toStdString());
          applied_.cells = control_.cells;
          if (control_.onChange) control_.onChange();
        });
      });
      widget_ = grid;
      break;
    }
    case K::Image: {
      auto* picture = new PictureView(name, parent);
      if (c.onMouseMove) {
        picture->SetMouseHandler([this](int shift, int x, int y) {
          Forward([this, shift, x, y] {
            if (control_.onMouseMove) control_.onMouseMove(shift, x, y);
          });
        });
      }
      picture->onClick = [this] {
        Forward([this] {
          if (control_.onClick) control_.onClick();
        });
      };
      widget_ = picture;
      break;
    }
    case K::ProgressBar:
      widget_ = new QProgressBar(parent);
      break;
  }
}

void ControlBinding::ApplyText() {
  const ui::Control& c = control_;
  const QString text = Q(c.text);
  if (auto* label = qobject_cast<QLabel*>(widget_)) {
    label->setText(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget_)) {
    if (edit->text() != text) edit->setText(text);
    if (c.maxLength > 0) edit->setMaxLength(c.maxLength);
  } else if (auto* browser = qobject_cast<QTextBrowser*>(widget_)) {
    browser->setPlainText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget_)) {
    button->setText(text);  // "&" marks the mnemonic, as in the model
  } else if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
    if (c.itemIndex < 0 && !c.text.empty()) combo->setCurrentText(text);
  } else if (auto* picture = qobject_cast<PictureView*>(widget_)) {
    picture->SetPicture(c.text.empty() ? QPixmap() : pictures_(c.text));
  }
  const QString accessible =
      c.text.empty() || qobject_cast<QLineEdit*>(widget_) ? Q(c.Name()) : PlainCaption(c.text);
  widget_->setAccessibleName(accessible);
}

void ControlBinding::ApplyItems() {
  const ui::Control& c = control_;
  if (auto* memo = qobject_cast<QPlainTextEdit*>(widget_)) {
    QStringList lines;
    for (const auto& item : c.items) lines << Q(item.text);
    if (memo->toPlainText() != lines.join('\n')) memo->setPlainText(lines.join('\n'));
  } else if (auto* list = qobject_cast<QListWidget*>(widget_)) {
    list->clear();
    for (const auto& item : c.items) {
      auto* row = new QListWidgetItem(Q(item.text), list);
      if (c.Kind() == K::CheckListBox) {
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(item.checked ? Qt::Checked : Qt::Unchecked);
      }
    }
  } else if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
    combo->clear();
    for (const auto& item : c.items) combo->addItem(Q(item.text));
  } else if (auto* group = qobject_cast<QGroupBox*>(widget_)) {
    for (QRadioButton* old : group->findChildren<QRadioButton*>()) delete old;
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      auto* button = new QRadioButton(Q(c.items[i].text), group);
      button->setAutoExclusive(false);
      button->setObjectName(Q(c.Name() + "." + std::to_string(i)));
      button->setAccessibleName(PlainCaption(c.items[i].text));
      group->layout()->addWidget(button);
      const int index = static_cast<int>(i);
      QObject::connect(button, &QRadioButton::clicked, button, [this, index] {
        Forward([this, index] {
          control_.itemIndex = index;
          if (control_.onClick) control_.onClick();
        });
      });
    }
  }
}

void ControlBinding::ApplyCells() {
  auto* grid = qobject_cast<QTableWidget*>(widget_);
  if (!grid) return;
  const ui::Control& c = control_;
  const int columns = Columns(c);
  grid->setColumnCount(columns);
  grid->setRowCount(std::max(0, c.RowCount() - 1));
  for (int col = 0; col < columns; ++col)
    grid->setHorizontalHeaderItem(col, new QTableWidgetItem(Q(c.Cell(col, 0))));
  for (int row = 1; row < c.RowCount(); ++row) {
    for (int col = 0; col < columns; ++col) {
      const QString text = Q(c.Cell(col, row));
      QTableWidgetItem* item = grid->item(row - 1, col);
      if (!item) {
        grid->setItem(row - 1, col, new QTableWidgetItem(text));
      } else if (item->text() != text) {
        item->setText(text);
      }
    }
  }
}

bool ControlBinding::Sync() {
  const ui::Control& c = control_;
  Applied& a = applied_;
  bool changed = false;
  applying_ = true;
  if (!a.valid || a.text != c.text) {
    ApplyText();
    a.text = c.text;
    changed = true;
  }
  if (!a.valid || a.hint != c.hint) {
    widget_->setToolTip(Q(c.hint));
    a.hint = c.hint;
    changed = true;
  }
  if (!a.valid || a.items.size() != c.items.size() ||
      !std::equal(a.items.begin(), a.items.end(), c.items.begin(),
                  [](const ui::ListItem& x, const ui::ListItem& y) {
                    return x.text == y.text && x.checked == y.checked;
                  })) {
    ApplyItems();
    a.items = c.items;
    a.itemIndex = -2;  // the new entries need their selection again
    changed = true;
  }
  if (a.itemIndex != c.itemIndex) {
    if (auto* list = qobject_cast<QListWidget*>(widget_)) list->setCurrentRow(c.itemIndex);
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) combo->setCurrentIndex(c.itemIndex);
    if (auto* group = qobject_cast<QGroupBox*>(widget_)) {
      const auto buttons = group->findChildren<QRadioButton*>();
      for (int i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(i == c.itemIndex);
    }
    a.itemIndex = c.itemIndex;
    changed = true;
  }
  if (!a.valid || a.checked != c.checked) {
    if (auto* box = qobject_cast<QAbstractButton*>(widget_); box && box->isCheckable())
      box->setChecked(c.checked);
    a.checked = c.checked;
    changed = true;
  }
  if (!a.valid || a.cells != c.cells) {
    ApplyCells();
    a.cells = c.cells;
    changed = true;
  }
  if (!a.valid || a.position != c.position || a.minimum != c.minimum || a.maximum != c.maximum) {
    if (auto* bar = qobject_cast<QProgressBar*>(widget_)) {
      bar->setRange(c.minimum, c.maximum);
      bar->setValue(std::clamp(c.position, c.minimum, c.maximum));
    }
    a.position = c.position;
    a.minimum = c.minimum;
    a.maximum = c.maximum;
    changed = true;
  }
  if (!a.valid || a.enabled != c.enabled) {
    widget_->setEnabled(c.enabled);
    a.enabled = c.enabled;
    changed = true;
  }
  if (!a.valid || a.visible != c.visible) {
    widget_->setVisible(c.visible);
    a.visible = c.visible;
    changed = true;
  }
  a.valid = true;
  applying_ = false;
  return changed;
}

}  // namespace nimbra::uiqt
