#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/form.h"

namespace nimbra::uiqt {

// A control's value as an answer file writes it ("1"/"0", comma lists, the
// chosen entry's text, grid rows "a|b|c"), key by key in the form's order.
using Values = std::vector<std::pair<std::string, std::string>>;
Values ControlValues(ui::Form& form, const std::vector<ui::Control*>& controls);

// Writes the answer file of what a person did in the window, for
// `--silent --answers`: for each page the values that differ at its exit
// from what the page showed when it was entered (after its own entry work),
// and the button that left it where that is not the one an unattended run
// presses anyway (Next; Finish on the last page); [Answers] by question
// identifier; a section per dialog with its changed values and the button
// that closed it; and [TabSheet10] Samples= with the mouse samples taken.
class Recorder {
 public:
  explicit Recorder(std::filesystem::path file) : file_(std::move(file)) {}

  // Called around every event the person causes in the wizard.
  void BeforeEvent(ui::Form& wizard, const ui::Control* source);
  void AfterEvent(ui::Form& wizard, bool ended);
  // Called whenever the window is brought in step: notes a newly shown page.
  void Observe(ui::Form& wizard);

  void Answer(const std::string& id, const std::string& answer);
  // A dialog closed: its values before it was shown, and the button pressed.
  void Dialog(ui::Form& dialog, const Values& before, const std::string& pressed);
  void SetSamples(std::string hex) { samples_ = std::move(hex); }

  // The answer file's text (CR LF lines).
  std::string Text() const;
  void Save() const;  // replaces the file atomically
  const std::filesystem::path& File() const { return file_; }

 private:
  using Section = std::vector<std::pair<std::string, std::string>>;
  void Put(const std::string& section, Section values);

  std::filesystem::path file_;
  std::vector<std::pair<std::string, Section>> sections_;
  std::vector<std::pair<std::string, std::string>> answers_;
  std::string samples_;
  // The page being shown, its values when it was entered, and what the
  // event under way will commit if it leaves the page.
  std::string page_;
  Values entered_;
  Section pending_;
  std::string pressed_;
};

}  // namespace nimbra::uiqt
