#include "ui/qt/recorder.h"

#include <algorithm>

#include "core/strings.h"
#include "platform/files/atomic_file.h"

namespace nimbra::uiqt {

using K = ui::ControlKind;

namespace {

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const auto& part : parts) out += (out.empty() ? "" : separator) + part;
  return out;
}

std::vector<std::string> Texts(const ui::Control& c) {
  std::vector<std::string> out;
  for (const auto& item : c.items) out.push_back(item.text);
  return out;
}

Values Diff(const Values& before, const Values& now) {
  Values out;
  for (const auto& [key, value] : now) {
    const auto it = std::find_if(before.begin(), before.end(),
                                 [&](const auto& entry) { return entry.first == key; });
    if (it == before.end() || it->second != value) out.emplace_back(key, value);
  }
  return out;
}

// The button an unattended run presses on a page without Press=.
std::string DefaultPress(const std::string& page) {
  return SameText(page, "TabSheet19") ? "Finish" : "Next";
}

}  // namespace

Values ControlValues(ui::Form&, const std::vector<ui::Control*>& controls) {
  Values out;
  for (const ui::Control* c : controls) {
    const std::string& name = c->Name();
    switch (c->Kind()) {
      case K::Edit:
        out.emplace_back(name, c->text);
        break;
      case K::CheckBox:
      case K::RadioButton:
        out.emplace_back(name, c->checked ? "1" : "0");
        break;
      case K::ListBox:
      case K::Memo:
        out.emplace_back(name, Join(Texts(*c), ","));
        if (c->Kind() == K::ListBox) out.emplace_back(name + ".Selected", c->Selected());
        break;
      case K::CheckListBox: {
        const auto checked = c->CheckedItems();
        out.emplace_back(name, !c->items.empty() && checked.size() == c->items.size()
                                   ? std::string("*")
                                   : Join(checked, ","));
        break;
      }
      case K::ComboBox:
        out.emplace_back(name, c->itemIndex >= 0 ? c->Selected() : c->text);
        break;
      case K::RadioGroup:
        out.emplace_back(name, c->Selected());
        break;
      case K::Grid:
        for (int row = 1; row < c->RowCount(); ++row)
          out.emplace_back(name + "." + std::to_string(row),
                           Join(c->cells[static_cast<std::size_t>(row)], "|"));
        break;
      default:
        break;
    }
  }
  return out;
}

void Recorder::Observe(ui::Form& wizard) {
  if (wizard.ActivePage() == page_) return;
  page_ = wizard.ActivePage();
  entered_ = page_.empty() ? Values{} : ControlValues(wizard, wizard.ControlsOf(page_));
}

void Recorder::BeforeEvent(ui::Form& wizard, const ui::Control* source) {
  Observe(wizard);
  pressed_.clear();
  if (!source || source->Kind() != K::Button || page_.empty()) return;
  // A press may leave the page: what the page holds now is what the person
  // entered on it, before its exit work changes anything.
  pending_ = Diff(entered_, ControlValues(wizard, wizard.ControlsOf(page_)));
  pressed_ = source->Name();
}

void Recorder::AfterEvent(ui::Form& wizard, bool ended) {
  if (pressed_.empty() || (!ended && wizard.ActivePage() == page_)) return;
  Section section = pending_;
  if (!SameText(pressed_, DefaultPress(page_))) section.emplace_back("Press", pressed_);
  Put(page_, std::move(section));
  pressed_.clear();
  Observe(wizard);
}

void Recorder::Answer(const std::string& id, const std::string& answer) {
  for (auto& entry : answers_) {
    if (entry.first == id) {
      entry.second = answer;
      return;
    }
  }
  answers_.emplace_back(id, answer);
}

void Recorder::Dialog(ui::Form& dialog, const Values& before, const std::string& pressed) {
  std::vector<ui::Control*> controls;
  for (const auto& c : dialog.Controls()) controls.push_back(dialog.Find(c.Name()));
  Section section = Diff(before, ControlValues(dialog, controls));
  const std::string usual = dialog.Has("OK") ? "OK" : dialog.Has("Logon") ? "Logon" : "";
  if (!pressed.empty() && !SameText(pressed, usual)) section.emplace_back("Press", pressed);
  Put(dialog.Name(), std::move(section));
}

// A page or dialog met again: its last visit is the one that counts.
void Recorder::Put(const std::string& name, Section values) {
  std::erase_if(sections_, [&](const auto& s) { return SameText(s.first, name); });
  if (!values.empty()) sections_.emplace_back(name, std::move(values));
}

std::string Recorder::Text() const {
  std::string out = "; Recorded by nimbra-setup --record: replay with --silent --answers.\r\n";
  bool samplesWritten = false;
  for (const auto& [name, values] : sections_) {
    out += "[" + name + "]\r\n";
    for (const auto& [key, value] : values) out += key + "=" + value + "\r\n";
    if (SameText(name, "TabSheet10") && !samples_.empty()) {
      out += "Samples=" + samples_ + "\r\n";
      samplesWritten = true;
    }
  }
  if (!samplesWritten && !samples_.empty()) out += "[TabSheet10]\r\nSamples=" + samples_ + "\r\n";
  if (!answers_.empty()) {
    out += "[Answers]\r\n";
    for (const auto& [id, answer] : answers_) out += id + "=" + answer + "\r\n";
  }
  return out;
}

void Recorder::Save() const {
  platform::ReplaceFile(file_, Text());
}

}  // namespace nimbra::uiqt
