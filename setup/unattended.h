#pragma once

#include <string>

#include "setup/answer_ui.h"
#include "setup/tsetup_form.h"

namespace nimbra::setup {

// Plays a person through the wizard with an answer file: creates the wizard,
// then on every page sets the controls from the page's section and presses
// its "Press=" buttons (a comma list; "Next" by default, "Finish" on the
// completion page). Returns the process exit status: 0 after Finish, 2 after
// Exit, 3 for a question without an answer, 4 when a page keeps the user on
// it (the reason names the page and the last message), 5 when the answer file
// does not fit the form, 1 for the wizard's own fatal stops. `reason` says
// why the run ended.
int RunUnattended(TSetupForm& wizard, AnswerFileUi& ui, std::string* reason = nullptr);

}  // namespace nimbra::setup
