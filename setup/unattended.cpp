#include "setup/unattended.h"

#include <algorithm>
#include <map>

#include "core/strings.h"
#include "keys/logon_window.h"
#include "ui/questions.h"
#include "ui/setup_form.h"

namespace nimbra::setup {

namespace {

constexpr int kMaxSteps = 1000;
constexpr int kMaxMouseMoves = 100000;
// A page met this often again has sent the run round in a circle (a check
// that jumps back to an earlier page with the same answers).
constexpr int kMaxVisits = 20;
// The answer file holds one logon answer: trying it more often changes nothing.
constexpr int kMaxLogonAttempts = 3;

}  // namespace

// A mistyped setup folder is the administrator's error, not a setup folder
// without settings: the run stops before the first page.
void CheckSetupFolder(TSetupForm& wizard, ui::Ui& ui) {
  platform::Machine& machine = wizard.Machine();
  const std::string& dir = wizard.Context().SetupDir();
  const bool exists = machine.DirectoryExists(dir);
  if (exists &&
      (machine.FileExists(dir + "Script.txt") || machine.FileExists(dir + "WsScript.txt")))
    return;
  const auto host = machine.HostPath(dir);
  ui.EndProcess(ui::kExitStopped,
                "setup folder " + dir + " (host " +
                    (host ? host->string() : std::string("path none: no such drive")) + ") " +
                    (exists ? "holds neither Script.txt nor WsScript.txt" : "does not exist"));
}

namespace {

// Every section of the answer file names a page or a dialog of the wizard,
// and every key of [Answers] a question it asks: what names neither would be
// ignored and the run would install without it.
void CheckAnswerFile(TSetupForm& wizard, const AnswerFileUi& ui) {
  std::vector<std::string> dialogs = ui::CompanionWindowNames();
  dialogs.emplace_back(keys::kLogonWindowName);
  const auto isDialog = [&](const std::string& name) {
    return std::any_of(dialogs.begin(), dialogs.end(),
                       [&](const std::string& dialog) { return SameText(dialog, name); });
  };
  for (const std::string& section : ui.Answers().SectionNames()) {
    if (SameText(section, "Answers") || wizard.Form().FindPage(section) || isDialog(section))
      continue;
    throw AnswerFileError("[" + section + "] names no page or dialog of the wizard");
  }
  for (const std::string& key : ui.Answers().KeyNames("Answers")) {
    if (!SameText(key, "Default") && !ui::AnswersSomeQuestion(key))
      throw AnswerFileError("[Answers] " + key + " names no question the wizard asks");
  }
}

// The answer-file key that would move a stuck page on: the control the last
// refusing check named, or the other buttons of a page whose button could not
// be pressed.
std::string MovingKey(TSetupForm& wizard, const std::string& page, const std::string& button) {
  if (button.empty()) {
    const auto& refusal = wizard.Context().lastRefusal;
    return refusal ? "[" + refusal->page + "] " + refusal->control : std::string();
  }
  std::string others;
  for (ui::Control* control : wizard.Form().ControlsOf(page)) {
    if (control->Kind() != ui::ControlKind::Button || !control->enabled || !control->visible ||
        SameText(control->Name(), button))
      continue;
    others += (others.empty() ? "" : " or ") + control->Name();
  }
  return others.empty() ? std::string() : "[" + page + "] Press=" + others;
}

std::string Stuck(TSetupForm& wizard, AnswerFileUi& ui, const std::string& page,
                  const std::string& what, const std::string& button = {}) {
  std::string reason = "page " + page + " " + what;
  const std::string last = ui.LastMessage();
  if (!last.empty()) reason += "; last message: " + last;
  const std::string key = MovingKey(wizard, page, button);
  if (!key.empty()) reason += "; the answer-file key that moves it on: " + key;
  ui.LogLine("STUCK " + reason);
  return reason;
}

int Walk(TSetupForm& wizard, AnswerFileUi& ui, std::string& reason) {
  ui::Form& form = wizard.Form();
  std::map<std::string, int> visits;
  for (int step = 0; step < kMaxSteps; ++step) {
    const std::string page = form.ActivePage();
    if (page.empty()) {
      reason = "the wizard shows no page";
      ui.LogLine("STUCK " + reason);
      return ui::kExitStuck;
    }
    if (++visits[page] > kMaxVisits) {
      reason = Stuck(wizard, ui, page, "keeps coming back");
      return ui::kExitStuck;
    }
    ui.ApplySection(form, page);

    // A page that waits for mouse movement gets it: the scribble box on its
    // own page, the page stack while the gathering holds the navigation.
    ui::Control* scribble = form.Find("MouseScribble");
    ui::Control* progress = form.Find("ProgressBar1");
    if (scribble && scribble->Page() == page && scribble->onMouseMove) {
      ui::Control& next = form.At("Next");
      ui.FeedMouse(
          scribble->onMouseMove, [&] { return next.enabled || !scribble->visible; },
          kMaxMouseMoves);
    } else if (progress && progress->visible && form.onMouseMove) {
      ui.FeedMouse(
          form.onMouseMove, [&] { return !progress->visible; }, kMaxMouseMoves);
    }

    const std::string defaultPress = SameText(page, "TabSheet19") ? "Finish" : "Next";
    const auto presses = SplitCommaList(ui.Value(page, "Press", defaultPress));
    for (const auto& button : presses) {
      if (!form.Find(button)) {
        throw AnswerFileError("[" + page + "] Press names no button " + button);
      }
      if (!form.Click(button)) {
        reason = Stuck(wizard, ui, page, "cannot press " + button, button);
        return ui::kExitStuck;
      }
    }
    if (form.ActivePage() == page) {
      reason = Stuck(wizard, ui, page, "kept the user on it");
      return ui::kExitStuck;
    }
  }
  reason = "no end after " + std::to_string(kMaxSteps) + " pages";
  ui.LogLine("STUCK " + reason);
  return ui::kExitStuck;
}

}  // namespace

int RunUnattended(TSetupForm& wizard, AnswerFileUi& ui, std::string* reason) {
  std::string why;
  int code;
  try {
    CheckSetupFolder(wizard, ui);
    CheckAnswerFile(wizard, ui);
    wizard.logonAttemptLimit = kMaxLogonAttempts;
    wizard.FormCreate();
    code = Walk(wizard, ui, why);
  } catch (const ui::ProcessEnd& end) {
    code = end.code;
    why = end.reason;
  } catch (const AnswerFileError& e) {
    code = kExitBadAnswers;
    why = e.what();
    ui.LogLine("ANSWERS " + why);
  } catch (const std::exception& e) {
    code = ui::kExitStopped;
    why = std::string("error: ") + e.what();
    ui.LogLine("ERROR " + why);
  }
  if (reason) *reason = why;
  return code;
}

}  // namespace nimbra::setup
