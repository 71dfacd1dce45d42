#include "setupstate/wizard_context.h"

#include "platform/profile_file.h"
#include "platform/registry.h"

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

std::string WizardContext::MessageCaption() {
  const std::string fallback = "MESSAGE:";
  try {
    std::string exePath;
    if (auto key = machine.Reg().OpenKey(platform::RootKey::LocalMachine,
                                         "\\Software\\NimbraPost\\Current Version", false)) {
      if (key->ValueExists("exePath")) exePath = key->ReadString("exePath");
    }
    const std::string ini = (exePath.empty() ? setupDir_ : exePath) + "WS.INI";
    auto host = machine.HostPath(ini);
    if (!host) return fallback;
    platform::ProfileFile file(*host);
    return file.ReadString("WorkStation", "INSTALLED", fallback);
  } catch (const std::exception&) {
    return fallback;
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
