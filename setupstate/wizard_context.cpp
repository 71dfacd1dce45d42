#include "setupstate/wizard_context.h"

#include "core/strings.h"
#include "keys/product_location.h"

namespace nimbra::setup {

WizardContext::WizardContext(ui::Form& f, ui::Ui& u, platform::Machine& m, InstallSettings& s,
                             std::string setupDir, std::string programName)
    : form(f),
      ui(u),
      machine(m),
      settings(s),
      setupDir_(std::move(setupDir)),
      programName_(std::move(programName)) {
  if (!setupDir_.empty() && setupDir_.back() != '\\') setupDir_ += '\\';
}

bool WizardContext::ServiceFlavour() const {
  return SameText(programName_, "SVCINST.EXE") || settings.AsService;
}

std::string WizardContext::MessageCaption() {
  try {
    return keys::ProductCaption(machine, keys::ProductIniPath(machine, setupDir_));
  } catch (const std::exception&) {
    return "MESSAGE:";
  }
}

void WizardContext::Message(std::string_view text) {
  ui.Message(MessageCaption(), text);
}

void WizardContext::SetPageHandlers(std::string_view page, PageHandlers handlers) {
  handlers_[std::string(page)] = std::move(handlers);
}

const PageHandlers* WizardContext::Handlers(std::string_view page) const {
  auto it = handlers_.find(page);
  return it == handlers_.end() ? nullptr : &it->second;
}

}  // namespace nimbra::setup
