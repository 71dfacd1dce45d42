#include <string>

#include "setup/tsetup_form.h"

namespace nimbra::setup {

// Leaving the security-level page: until 100 samples are held the person
// has to move the mouse, so navigation waits and the progress shows.
void TSetupForm::TabSheet9Exit() {
  if (context_->mouseSamples.size() >= WizardContext::kMouseSamplesWanted) return;
  form_->At("Prev").enabled = false;
  form_->At("Next").enabled = false;
  form_->At("ProgressBar1").visible = true;
  form_->At("MouseComplete").visible = true;
}

// A mouse move over the scribble box or the page stack. Each move stores one
// sample byte (x low nibble high, y low nibble low) until 100 are held; the
// texts then show the count, so that after 42 samples the page reads
// "42% complete" and the 100th sample itself releases the navigation.
void TSetupForm::MouseScribbleMouseMove(int /*shift*/, int x, int y) {
  auto& samples = context_->mouseSamples;
  if (samples.size() < WizardContext::kMouseSamplesWanted) {
    samples.push_back(static_cast<std::uint8_t>(((x & 15) << 4) | (y & 15)));
  }
  const int count = static_cast<int>(samples.size());
  ui::Form& f = *form_;
  f.At("ProgressBar1").position = count;
  f.At("MouseComplete").text = std::to_string(count) + "% complete";
  if (samples.size() < WizardContext::kMouseSamplesWanted) return;
  f.At("MouseScribble").hint = "Now click the NEXT button to continue.";
  f.At("Prev").enabled = true;
  f.At("Next").enabled = true;
  f.At("ProgressBar1").visible = false;
  f.At("Panel2").text = "You have entered enough random data, click Next to Continue";
  f.At("MouseScribble").visible = false;
  f.At("MouseComplete").text = "Click Next to Continue.";
}

void TSetupForm::TabSheet10Exit() {
  form_->At("MouseComplete").visible = false;
}

}  // namespace nimbra::setup
