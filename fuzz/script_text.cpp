// Feeds arbitrary text to the installer settings reader and, as an answer
// file, to the unattended driver's control setter on the wizard form.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "setup/answer_ui.h"
#include "setupstate/installer_script.h"
#include "ui/setup_form.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  nimbra::setup::InstallSettings settings;
  nimbra::setup::ReadInstallerSettings(text, settings);
  try {
    nimbra::setup::AnswerFileUi ui(text);
    auto form = nimbra::ui::MakeSetupForm();
    for (const auto& section : ui.Answers().SectionNames()) ui.ApplySection(*form, section);
  } catch (const nimbra::setup::AnswerFileError&) {
    // A clear refusal of an answer file that does not fit the form.
  }
  return 0;
}
