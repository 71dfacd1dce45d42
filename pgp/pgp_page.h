#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "pgp/toolkit_binding.h"
#include "setupstate/wizard_context.h"

namespace nimbra::pgp {

// The machine changes of the PGP page, made by the wizard's journaled
// installation operations. Each reports success.
class PgpFileOps {
 public:
  virtual ~PgpFileOps() = default;
  // The installer's copy of one file: source_dir + name into dest_dir.
  virtual bool CopyInto(std::string_view sourceDir, std::string_view name,
                        std::string_view destDir) = 0;
  // Renames a file, replacing one of the new name.
  virtual bool Rename(std::string_view from, std::string_view to) = 0;
  // Writes a whole file atomically (its folder created when missing).
  virtual bool WriteFile(std::string_view path, std::string_view content) = 0;
};

// The PGP compatibility page TabSheetPGP: the three paths the toolkit is
// pointed at, the offer to install the toolkit library, and on leaving with
// AddPGP checked the toolkit's preferences and the random seed file. A good
// exit sets the settings' PgpPreferencesSet.
class PgpPage {
 public:
  static constexpr std::string_view kAboutText =
      "PGP is supplied under license from Network Associates using the PGPsdk.";
  static constexpr std::string_view kFailureText = "Setup was unable to set your PGP Preferences";
  // The library as the setup folder holds it, and its name once installed.
  static constexpr std::string_view kPackedName = "PGPsdk.dl_";
  static constexpr std::string_view kInstalledName = "PGPsdk.dll";

  PgpPage(setup::WizardContext& wizard, ToolkitBinding& toolkit, PgpFileOps& files)
      : wizard_(wizard), toolkit_(toolkit), files_(files) {}

  void TabSheetPGPEnter();
  void TabSheetPGPExit();
  void AboutPGPClick();

 private:
  // Preferences 1, 2 and 4 into the private ring, seed and public ring
  // fields; a preference that cannot be read leaves its field as it was.
  void ReadFields();
  // Installs the library from the setup folder and reads what it holds.
  void InstallDrivers();
  void Write(const std::string& path, int selector);

  setup::WizardContext& wizard_;
  ToolkitBinding& toolkit_;
  PgpFileOps& files_;
};

// Registers the page's handlers and the About button on the wizard's context
// and form; the returned page must live as long as the wizard.
std::shared_ptr<PgpPage> RegisterPgpPage(setup::WizardContext& wizard, ToolkitBinding& toolkit,
                                         PgpFileOps& files);

}  // namespace nimbra::pgp
