#pragma once

#include <string>

#include "setup/answer_ui.h"
#include "setup/tsetup_form.h"

namespace nimbra::setup {

// Plays a person through the wizard with an answer file. Before the first
// page it checks that the setup folder exists and holds an installer script
// (exit 1 otherwise) and that every section and [Answers] key of the answer
// file names a page, dialog or question of the wizard (exit 5 otherwise);
// then it creates the wizard and on every page sets the controls from the
// page's section and presses its "Press=" buttons (a comma list; "Next" by
// default, "Finish" on the completion page). Returns the process exit
// status: 0 after Finish, 2 after Exit, 3 for a question without an answer,
// 4 when a page keeps the user on it (the reason names the page, the last
// message and, where one exists, the answer-file key that would move it on),
// 5 when the answer file does not fit the form, 1 for the wizard's own fatal
// stops. `reason` says why the run ended.
// Ends the process (exit 1) when the setup folder does not exist or holds
// no installer script; the window and the unattended run both check it first.
void CheckSetupFolder(TSetupForm& wizard, ui::Ui& ui);

int RunUnattended(TSetupForm& wizard, AnswerFileUi& ui, std::string* reason = nullptr);

}  // namespace nimbra::setup
