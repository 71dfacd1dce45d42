#include "setup/unattended.h"

#include <map>

#include "core/strings.h"

namespace nimbra::setup {

namespace {

constexpr int kMaxSteps = 1000;
constexpr int kMaxMouseMoves = 100000;
// A page met this often again has sent the run round in a circle (a check
// that jumps back to an earlier page with the same answers).
constexpr int kMaxVisits = 20;

std::string Stuck(AnswerFileUi& ui, const std::string& page, const std::string& what) {
  std::string reason = "page " + page + " " + what;
  const std::string last = ui.LastMessage();
  if (!last.empty()) reason += "; last message: " + last;
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
      reason = Stuck(ui, page, "keeps coming back");
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
        reason = Stuck(ui, page, "cannot press " + button);
        return ui::kExitStuck;
      }
    }
    if (form.ActivePage() == page) {
      reason = Stuck(ui, page, "kept the user on it");
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
