#include "setup/tsetup_form.h"
#include "ui/questions.h"

namespace nimbra::setup {

namespace {

// The three outcomes of an exit check: pass, stay (MayLeavePage cleared) or
// jump (another page made visible, after which the navigation does not move).
void Move(TSetupForm& wizard, int step) {
  InstallSettings& s = wizard.Settings();
  WizardContext& c = wizard.Context();
  const std::string pressedOn = wizard.Form().ActivePage();
  s.MayLeavePage = true;
  if (const PageHandlers* h = c.Handlers(pressedOn); h && h->exit) h->exit();
  s.PageIndex = wizard.GetPageNo();
  if (wizard.Form().ActivePage() == pressedOn && s.MayLeavePage) {
    const long target = static_cast<long>(s.PageIndex) + step;
    if (target >= 0 && target < static_cast<long>(s.PageList.size()) &&
        !s.PageList[static_cast<std::size_t>(target)].empty()) {
      wizard.ShowPage(s.PageList[static_cast<std::size_t>(target)]);
    }
  }
  if (const PageHandlers* h = c.Handlers(wizard.Form().ActivePage()); h && h->enter) h->enter();
}

}  // namespace

void TSetupForm::NextClick() {
  Move(*this, +1);
}

void TSetupForm::PrevClick() {
  Move(*this, -1);
}

void TSetupForm::ExitSetupClick() {
  const ui::Question question{std::string(ui::q::ExitSetup), "Are you sure you want to Exit Setup?",
                              form_->caption};
  if (ui_.AskOkCancel(question)) ui_.EndProcess(ui::kExitUserExit, "Exit Setup");
}

int TSetupForm::GetPageNo() const {
  const std::string& visible = form_->ActivePage();
  if (visible.empty()) return -1;
  for (std::size_t i = 0; i < settings_.PageList.size(); ++i) {
    if (settings_.PageList[i] == visible) return static_cast<int>(i);
  }
  return -1;
}

void TSetupForm::ShowPage(std::string_view page) {
  form_->SetActivePage(page);
}

}  // namespace nimbra::setup
