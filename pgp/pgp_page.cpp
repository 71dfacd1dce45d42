#include "pgp/pgp_page.h"

#include <stdexcept>

#include "platform/files/path.h"
#include "ui/questions.h"

namespace nimbra::pgp {
namespace {

class PrefsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace

void PgpPage::ReadFields() {
  struct Field {
    int selector;
    const char* control;
  };
  for (const Field field :
       {Field{kSelectPrivateRing, "PGPSecRing"}, Field{kSelectRandomSeed, "PGPRandSeed"},
        Field{kSelectPublicRing, "PGPPubRing"}}) {
    PrefBuffer buffer{};
    if (toolkit_.ReadPreference(field.selector, buffer) == kPgpOk)
      wizard_.Text(field.control) = buffer.data();
  }
}

void PgpPage::InstallDrivers() {
  const std::string system = wizard_.machine.SystemDirectory();
  files_.CopyInto(wizard_.SetupDir(), kPackedName, system);
  files_.Rename(platform::JoinWindowsPath(system, kPackedName),
                platform::JoinWindowsPath(system, kInstalledName));
  try {
    if (toolkit_.Load()) ReadFields();
  } catch (const std::exception&) {
    // A library that fails here leaves the fields to the defaults below.
  }
  const std::string data = wizard_.Text("DataLocation");
  const std::string program = wizard_.Text("SoftwareLocation");
  auto fill = [this](const char* control, std::string fallback) {
    if (!wizard_.machine.FileExists(wizard_.Text(control)))
      wizard_.Text(control) = std::move(fallback);
  };
  fill("PGPSecRing", data + "secring.pkr");
  fill("PGPRandSeed", program + "randseed.bin");
  fill("PGPPubRing", data + "pubring.pkr");
}

void PgpPage::TabSheetPGPEnter() {
  if (toolkit_.Available()) {
    ReadFields();
    return;
  }
  if (!wizard_.ui.AskYesNo({std::string(ui::q::InstallPgpDrivers),
                            "No PGP Drivers were found on your system, would you like to install "
                            "them now?",
                            "Install PGP drivers"}))
    return;
  InstallDrivers();
}

void PgpPage::Write(const std::string& path, int selector) {
  const PgpStatus status = toolkit_.WritePreference(path, selector);
  if (status != kPgpOk)
    throw PrefsError("preference " + std::to_string(selector) + ": status " +
                     std::to_string(status));
}

void PgpPage::TabSheetPGPExit() {
  if (!wizard_.form.At("AddPGP").checked) return;
  try {
    if (toolkit_.Load()) {
      PrefBuffer discarded{};
      for (int selector : {kSelectPrivateRing, kSelectRandomSeed, kSelectPublicRing})
        toolkit_.ReadPreference(selector, discarded);
    }
  } catch (const std::exception&) {
    // The writes below find out whether the toolkit works.
  }
  try {
    Write(wizard_.Text("PGPSecRing"), kSelectPrivateRing);
    const std::string seed = wizard_.Text("PGPRandSeed");
    Write(seed, kSelectRandomSeed);
    if (!wizard_.machine.FileExists(seed)) {
      const auto& samples = wizard_.mouseSamples;
      const std::string bytes(samples.begin(), samples.end());
      if (!files_.WriteFile(seed, bytes)) throw PrefsError("the random seed file " + seed);
    }
    Write(wizard_.Text("PGPPubRing"), kSelectPublicRing);
    wizard_.settings.PgpPreferencesSet = true;
  } catch (const std::exception&) {
    wizard_.Message(kFailureText);
  }
}

void PgpPage::AboutPGPClick() {
  wizard_.ui.Message("About PGP", kAboutText);
}

std::shared_ptr<PgpPage> RegisterPgpPage(setup::WizardContext& wizard, ToolkitBinding& toolkit,
                                         PgpFileOps& files) {
  auto page = std::make_shared<PgpPage>(wizard, toolkit, files);
  PgpPage* p = page.get();
  wizard.SetPageHandlers("TabSheetPGP",
                         {[p] { p->TabSheetPGPEnter(); }, [p] { p->TabSheetPGPExit(); }});
  wizard.form.At("AboutPGP").onClick = [p] { p->AboutPGPClick(); };
  return page;
}

}  // namespace nimbra::pgp
