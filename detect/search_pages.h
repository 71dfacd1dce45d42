#pragma once

#include <memory>
#include <string>

#include "detect/detect_context.h"
#include "setupstate/wizard_context.h"

namespace nimbra::detect {

// The pages of the search for e-mail programs: the drive page (TabSheet28,
// check list DriveCheck), the search page (TabSheet7, status panel Detect)
// and the check list of the accounts to protect (TabSheet8, SoftwareList).
// The search drives are kept here for the whole run.
class SearchPages {
 public:
  explicit SearchPages(setup::WizardContext& wizard);

  void TabSheet28Enter();
  void TabSheet28Exit();
  void TabSheet7Enter();
  void TabSheet8Enter();
  void TabSheet8Exit();

  DetectContext& Detect() { return detect_; }
  // The folder of WS.INI: the folder part of the program location, ending
  // in "\".
  std::string WsIniFolder() const;

 private:
  void BuildSummary();

  setup::WizardContext& wizard_;
  DetectContext detect_;
};

// Creates the pages' handlers and registers them on the wizard's context,
// which keeps them for the run.
std::shared_ptr<SearchPages> RegisterSearchPages(setup::WizardContext& wizard);

}  // namespace nimbra::detect
