#include "ui/form.h"

#include <algorithm>
#include <cctype>

namespace nimbra::ui {

namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

const std::string kEmpty;

}  // namespace

std::string Control::Lines() const {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += "\r\n";
    out += items[i].text;
  }
  return out;
}

void Control::SetLines(const std::vector<std::string>& lines) {
  items.clear();
  for (const auto& line : lines) items.push_back({line, false});
}

void Control::Clear() {
  items.clear();
  itemIndex = -1;
}

int Control::IndexOf(std::string_view wanted, bool ignoreCase) const {
  const std::string key = ignoreCase ? Lower(wanted) : std::string(wanted);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if ((ignoreCase ? Lower(items[i].text) : items[i].text) == key) return static_cast<int>(i);
  }
  return -1;
}

const std::string& Control::Selected() const {
  if (itemIndex < 0 || itemIndex >= static_cast<int>(items.size())) return kEmpty;
  return items[static_cast<std::size_t>(itemIndex)].text;
}

std::vector<std::string> Control::CheckedItems() const {
  std::vector<std::string> out;
  for (const auto& item : items) {
    if (item.checked) out.push_back(item.text);
  }
  return out;
}

std::string Control::Cell(int col, int row) const {
  if (row < 0 || col < 0 || row >= static_cast<int>(cells.size())) return {};
  const auto& r = cells[static_cast<std::size_t>(row)];
  if (col >= static_cast<int>(r.size())) return {};
  return r[static_cast<std::size_t>(col)];
}

void Control::SetCell(int col, int row, std::string value) {
  if (row < 0 || col < 0) throw UiError("Grid cell outside the grid in " + name_);
  if (row >= static_cast<int>(cells.size())) cells.resize(static_cast<std::size_t>(row) + 1);
  auto& r = cells[static_cast<std::size_t>(row)];
  if (col >= static_cast<int>(r.size())) r.resize(static_cast<std::size_t>(col) + 1);
  r[static_cast<std::size_t>(col)] = std::move(value);
}

void Control::SetGridSize(int cols, int rows) {
  cells.resize(static_cast<std::size_t>(std::max(rows, 0)));
  for (auto& r : cells) r.resize(static_cast<std::size_t>(std::max(cols, 0)));
}

Form::Form(std::string name, std::string caption)
    : caption(std::move(caption)), name_(std::move(name)) {}

Page& Form::AddPage(std::string name, std::string title) {
  if (FindPage(name)) throw UiError("Duplicate page " + name + " in " + name_);
  pages_.push_back({std::move(name), std::move(title)});
  return pages_.back();
}

Control& Form::Add(std::string name, ControlKind kind, std::string page, std::string text) {
  const std::string key = Lower(name);
  if (byName_.count(key)) throw UiError("Duplicate control " + name + " in " + name_);
  if (!page.empty() && !FindPage(page)) throw UiError("Unknown page " + page + " in " + name_);
  controls_.emplace_back(std::move(name), kind, std::move(page));
  Control& control = controls_.back();
  control.text = std::move(text);
  byName_[key] = &control;
  return control;
}

Control* Form::Find(std::string_view name) {
  auto it = byName_.find(Lower(name));
  return it == byName_.end() ? nullptr : it->second;
}

const Control* Form::Find(std::string_view name) const {
  auto it = byName_.find(Lower(name));
  return it == byName_.end() ? nullptr : it->second;
}

Control& Form::At(std::string_view name) {
  Control* control = Find(name);
  if (!control) throw UiError("No control " + std::string(name) + " in " + name_);
  return *control;
}

const Control& Form::At(std::string_view name) const {
  const Control* control = Find(name);
  if (!control) throw UiError("No control " + std::string(name) + " in " + name_);
  return *control;
}

Page* Form::FindPage(std::string_view name) {
  const std::string key = Lower(name);
  for (auto& page : pages_) {
    if (Lower(page.name) == key) return &page;
  }
  return nullptr;
}

std::vector<Control*> Form::ControlsOf(std::string_view page) {
  std::vector<Control*> out;
  const std::string key = Lower(page);
  for (auto& control : controls_) {
    if (Lower(control.Page()) == key) out.push_back(&control);
  }
  return out;
}

void Form::SetActivePage(std::string_view page) {
  Page* found = FindPage(page);
  if (!found) throw UiError("No page " + std::string(page) + " in " + name_);
  activePage_ = found->name;
  if (onPageShown) onPageShown(activePage_);
}

void Form::SetChecked(std::string_view name, bool checked) {
  Control& control = At(name);
  if (control.checked == checked) return;
  if (checked && control.Kind() == ControlKind::RadioButton) {
    for (auto& other : controls_) {
      if (&other != &control && other.Kind() == ControlKind::RadioButton &&
          other.group == control.group && other.Page() == control.Page() && other.checked) {
        other.checked = false;
        if (other.onChange) other.onChange();
      }
    }
  }
  control.checked = checked;
  if (control.onChange) control.onChange();
}

bool Form::Click(std::string_view name) {
  Control& control = At(name);
  if (!control.visible || !control.enabled) return false;
  if (control.onClick) control.onClick();
  return true;
}

}  // namespace nimbra::ui
