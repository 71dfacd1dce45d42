#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/strings.h"
#include "platform/machine.h"
#include "setupstate/install_settings.h"
#include "ui/form.h"
#include "ui/ui.h"

namespace nimbra::setup {

// Entry action and exit check of one page. The navigation calls them (never
// the windowing system), so they need no sender.
struct PageHandlers {
  std::function<void()> enter;
  std::function<void()> exit;
};

// What every page handler works with: the wizard's form, the person (or the
// answer file) behind the Ui, the machine being installed on, and the
// settings record. Subsystems that own pages receive it from the wizard and
// register their handlers on it.
class WizardContext {
 public:
  WizardContext(ui::Form& form, ui::Ui& ui, platform::Machine& machine, InstallSettings& settings,
                std::string setupDir, std::string programName);

  ui::Form& form;
  ui::Ui& ui;
  platform::Machine& machine;
  InstallSettings& settings;

  // Windows path of the folder holding the setup program, ending in "\".
  const std::string& SetupDir() const { return setupDir_; }
  // The setup program's own file name ("SETUP.EXE", "SVCINST.EXE").
  const std::string& ProgramName() const { return programName_; }
  // The proxy is installed as the NT service: the setup program is the
  // service installer "SVCINST.EXE", or the installer settings ask for it.
  bool ServiceFlavour() const;

  // The product message box: OK and Cancel, answer ignored, captioned with
  // the installed product's WS.INI "WorkStation" "INSTALLED" (see
  // MessageCaption).
  void Message(std::string_view text);
  // The caption (keys/product_location.h): the installed product's WS.INI,
  // or the one beside the setup program; "MESSAGE:" when the file or key is
  // missing.
  std::string MessageCaption();

  // Control text by name (shorthand for form.At(name).text).
  std::string& Text(std::string_view control) { return form.At(control).text; }

  // An exit check that keeps the user on the page or sends him back names the
  // control whose value it refused; an unattended run that stops there names
  // it as the answer-file key that would move it on.
  struct Refusal {
    std::string page;
    std::string control;
  };
  void Refuse(std::string_view control) {
    lastRefusal = Refusal{form.ActivePage(), std::string(control)};
  }
  std::optional<Refusal> lastRefusal;

  // Moves on to the next page as the Next button does, for pages that move
  // on by themselves; set by the wizard.
  std::function<void()> nextPage;
  void NextPage() {
    if (nextPage) nextPage();
  }

  // Page handlers by page name; the navigation looks them up here.
  void SetPageHandlers(std::string_view page, PageHandlers handlers);
  const PageHandlers* Handlers(std::string_view page) const;

  // The shared buffer of mouse samples (at most 100 bytes, in the order
  // taken), filled by the random-data page and the cursor timer.
  std::vector<std::uint8_t> mouseSamples;
  static constexpr std::size_t kMouseSamplesWanted = 100;

 private:
  std::string setupDir_;
  std::string programName_;
  std::map<std::string, PageHandlers, TextLess> handlers_;
};

}  // namespace nimbra::setup
