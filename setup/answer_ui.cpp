#include "setup/answer_ui.h"

#include "core/hex.h"
#include "core/strings.h"
#include "engine/entropy/entropy.h"
#include "ui/questions.h"

namespace nimbra::setup {

namespace {

// The button a word presses. A question's own answer may say Yes for OK and
// No for Cancel where those are the buttons (and the other way round);
// Default= presses only a button the question has.
std::optional<ui::Answer> ParseAnswer(std::string_view text, ui::Buttons buttons, bool byDefault) {
  std::optional<ui::Answer> answer;
  if (SameText(text, "Yes")) answer = ui::Answer::Yes;
  if (SameText(text, "No")) answer = ui::Answer::No;
  if (SameText(text, "OK")) answer = ui::Answer::Ok;
  if (SameText(text, "Cancel")) answer = ui::Answer::Cancel;
  if (SameText(text, "Ignore")) answer = ui::Answer::Ignore;
  if (!answer) return std::nullopt;
  const bool yesNo = buttons == ui::Buttons::YesNo;
  const bool own =
      yesNo ? (*answer == ui::Answer::Yes || *answer == ui::Answer::No)
            : (*answer == ui::Answer::Ok || *answer == ui::Answer::Cancel ||
               (*answer == ui::Answer::Ignore && buttons == ui::Buttons::OkCancelIgnore));
  if (own) return answer;
  if (byDefault || *answer == ui::Answer::Ignore) return std::nullopt;
  if (yesNo) return *answer == ui::Answer::Ok ? ui::Answer::Yes : ui::Answer::No;
  return *answer == ui::Answer::Yes ? ui::Answer::Ok : ui::Answer::Cancel;
}

// Rows an answer file may fill in a grid (the accounts page holds one row per
// user of the installer's "RunQty").
constexpr int kMaxGridRows = 10000;

// A check-list entry is named by its whole text or by its beginning up to
// a blank ("C:\" for the drive entry "C:\ - [SYSTEM]"), without regard to
// case.
bool CheckListEntryNamed(std::string_view entry, std::string_view name) {
  if (AnsiSameText(entry, name)) return true;
  return entry.size() > name.size() && entry[name.size()] == ' ' &&
         AnsiSameText(entry.substr(0, name.size()), name);
}

bool IsOn(std::string_view value) {
  return value == "1" || SameText(value, "true") || SameText(value, "yes");
}

}  // namespace

AnswerFileUi::AnswerFileUi(std::string_view answerText) : answers_(answerText) {
  const std::string hex(Trim(Value("TabSheet10", "Samples")));
  if (!hex.empty()) {
    try {
      samples_ = HexToBytes(hex);
    } catch (const std::exception& e) {
      throw AnswerFileError(std::string("[TabSheet10] Samples: ") + e.what());
    }
  }
}

std::string AnswerFileUi::Value(std::string_view section, std::string_view key,
                                std::string_view missing) const {
  return answers_.ReadExact(section, key).value_or(std::string(missing));
}

std::optional<AnswerFileUi::Found> AnswerFileUi::FindAnswer(std::string_view id,
                                                            std::string_view text) const {
  if (!id.empty() && answers_.ValueExists("Answers", id)) return Found{Value("Answers", id)};
  for (const auto& key : answers_.KeyNames("Answers")) {
    if (SameText(key, "Default") || key.empty()) continue;
    if (StartsText(text, key)) return Found{Value("Answers", key)};
  }
  if (answers_.ValueExists("Answers", "Default")) return Found{Value("Answers", "Default"), true};
  return std::nullopt;
}

void AnswerFileUi::Unanswered(std::string_view id, std::string_view text, std::string_view why) {
  LogLine("QUESTION " + std::string(id) + " " + std::string(text) + " -> " + std::string(why));
  EndProcess(ui::kExitUnanswered,
             "no answer for question " + std::string(id) + ": " + std::string(text));
}

void AnswerFileUi::DoMessage(std::string_view, std::string_view text) {
  messages_.emplace_back(text);
}

ui::Answer AnswerFileUi::DoAsk(const ui::Question& question, ui::Buttons buttons) {
  const auto found = FindAnswer(question.id, question.text);
  if (!found) Unanswered(question.id, question.text, "(no answer)");
  const auto answer = ParseAnswer(Trim(found->value), buttons, found->byDefault);
  if (!answer) {
    Unanswered(question.id, question.text,
               found->byDefault ? "(Default=" + found->value + " is none of its buttons)"
                                : "(answer \"" + found->value + "\" does not fit)");
  }
  if (found->byDefault) NoteAnswer("by Default=");
  return *answer;
}

// An input box or file dialog takes its own answer: the text, the path, or
// Cancel. Default= never types a text or picks a file; Default=Cancel
// cancels them.
std::optional<std::string> AnswerFileUi::TextAnswer(std::string_view id, std::string_view text) {
  const auto found = FindAnswer(id, text);
  if (!found) Unanswered(id, text, "(no answer)");
  const bool cancel = SameText(Trim(found->value), "Cancel");
  if (found->byDefault) {
    if (!cancel) Unanswered(id, text, "(Default= types no text and picks no file)");
    NoteAnswer("by Default=");
  }
  if (cancel) return std::nullopt;
  return found->value;
}

// The mailbox password is optional: without an answer of its own the
// mailbox is skipped (Cancel). The mailbox reader asks again, with the last
// entry, after a wrong password or a locked mailbox; the answer file holds
// only the one answer, so the question asked again is cancelled.
std::optional<std::string> AnswerFileUi::DoInput(const ui::Question& question,
                                                 std::string_view initial) {
  if (question.id != ui::q::MailboxPassword) return TextAnswer(question.id, question.text);
  const auto found = FindAnswer(question.id, question.text);
  const bool again =
      lastMailbox_ && lastMailbox_->first == question.text && lastMailbox_->second == initial;
  if (!found || found->byDefault || again || SameText(Trim(found->value), "Cancel")) {
    NoteAnswer(again ? "asked again" : "no answer of its own");
    lastMailbox_.reset();
    return std::nullopt;
  }
  lastMailbox_.emplace(question.text, found->value);
  return found->value;
}

std::optional<std::string> AnswerFileUi::DoFileDialog(DialogKind, const ui::FileDialog& dialog) {
  return TextAnswer(dialog.id, dialog.title);
}

std::uint8_t AnswerFileUi::NextSample() {
  if (!randomLogged_) {
    randomLogged_ = true;
    LogLine(samples_.empty() ? "RANDOM mouse samples from the operating system's random source"
                             : "RANDOM mouse samples from the answer file");
  }
  if (!samples_.empty()) {
    const std::uint8_t sample = samples_[nextSample_ % samples_.size()];
    ++nextSample_;
    return sample;
  }
  std::uint8_t sample = 0;
  engine::OsRandomBytes(&sample, 1);
  return sample;
}

int AnswerFileUi::FeedMouse(const std::function<void(int, int, int)>& handler,
                            const std::function<bool()>& done, int limit) {
  int moves = 0;
  while (moves < limit && !done()) {
    const std::uint8_t sample = NextSample();
    // The low nibbles of the position carry the sample; the rest keeps every
    // move on a new spot.
    const int x = ((moves % 16) << 4) | (sample >> 4);
    const int y = ((moves / 16 % 16) << 4) | (sample & 15);
    handler(0, x, y);
    ++moves;
    ProcessMessages();
  }
  return moves;
}

ui::ModalResult AnswerFileUi::DoShowModal(ui::Form& dialog) {
  ApplySection(dialog, dialog.Name());
  if (dialog.onMouseMove) {
    FeedMouse(
        dialog.onMouseMove, [&] { return dialog.modalResult != ui::ModalResult::None; }, 100000);
  }
  if (dialog.modalResult == ui::ModalResult::None) {
    std::string press(Trim(Value(dialog.Name(), "Press")));
    if (press.empty()) press = dialog.Has("OK") ? "OK" : dialog.Has("Logon") ? "Logon" : "";
    if (!press.empty() && !dialog.Click(press)) {
      throw AnswerFileError("[" + dialog.Name() + "] button " + press + " cannot be pressed");
    }
  }
  if (dialog.modalResult == ui::ModalResult::None) dialog.modalResult = ui::ModalResult::Ok;
  return dialog.modalResult;
}

ui::ModalResult AnswerFileUi::DoShowModalAgain(ui::Form& dialog, std::string_view refusal) {
  EndProcess(ui::kExitUnanswered, "no answer for dialog " + dialog.Name() + " (" + dialog.caption +
                                      ") after \"" + std::string(refusal) +
                                      "\": the answer file holds no other");
}

void AnswerFileUi::ProcessMessages() {
  const auto now = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < timers_.size(); ++i) {
    if (timers_[i].due > now) continue;
    timers_[i].due = now + timers_[i].interval;
    auto tick = timers_[i].tick;  // the tick may stop or start timers
    tick();
  }
}

int AnswerFileUi::StartTimer(int intervalMs, std::function<void()> tick) {
  const int id = nextTimer_++;
  const auto interval = std::chrono::milliseconds(intervalMs);
  timers_.push_back({id, interval, std::chrono::steady_clock::now() + interval, std::move(tick)});
  return id;
}

void AnswerFileUi::StopTimer(int id) {
  std::erase_if(timers_, [id](const Timer& t) { return t.id == id; });
}

void AnswerFileUi::ApplySection(ui::Form& form, std::string_view section) {
  for (const auto& key : answers_.KeyNames(section)) {
    if (SameText(key, "Press") || SameText(key, "Samples")) continue;
    const std::string value = Value(section, key);
    const auto dot = key.find('.');
    const std::string name = key.substr(0, dot);
    const std::string part = dot == std::string::npos ? std::string() : key.substr(dot + 1);
    ui::Control* control = form.Find(name);
    if (!control) {
      throw AnswerFileError("[" + std::string(section) + "] names no control " + name + " of " +
                            form.Name());
    }
    using K = ui::ControlKind;
    if (SameText(part, "Selected")) {
      control->itemIndex = control->IndexOf(value, true);
      if (control->itemIndex < 0 && !value.empty()) {
        throw AnswerFileError("[" + std::string(section) + "] " + name + " has no entry " + value);
      }
      // Selecting an entry is a click on it, with what the click does.
      if (control->itemIndex >= 0 && control->onClick) control->onClick();
      continue;
    }
    if (control->Kind() == K::Grid) {
      const auto row = TryStrToInt(part);
      if (!row || *row < 1 || *row > kMaxGridRows) {
        throw AnswerFileError("[" + std::string(section) + "] " + key +
                              ": grid rows are given as " + name + ".<row>=cell|cell|cell");
      }
      int col = 0;
      std::size_t start = 0;
      while (true) {
        const auto bar = value.find('|', start);
        control->SetCell(col++, *row, value.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
      }
      continue;
    }
    if (!part.empty()) {
      throw AnswerFileError("[" + std::string(section) + "] " + key + ": unknown part " + part);
    }
    switch (control->Kind()) {
      case K::CheckBox:
      case K::RadioButton:
        form.SetChecked(name, IsOn(Trim(value)));
        break;
      case K::ListBox:
        control->Clear();
        for (auto& item : SplitCommaList(value)) control->AddLine(std::move(item));
        break;
      case K::CheckListBox: {
        const bool all = Trim(value) == "*";
        std::vector<std::string> wanted;
        if (!all) wanted = SplitCommaList(value);
        std::erase(wanted, std::string());
        for (auto& item : control->items) item.checked = all;
        for (const auto& w : wanted) {
          bool found = false;
          for (auto& item : control->items) {
            if (!CheckListEntryNamed(item.text, w)) continue;
            item.checked = true;
            found = true;
          }
          if (!found) {
            throw AnswerFileError("[" + std::string(section) + "] " + name + " has no entry " + w);
          }
        }
        break;
      }
      case K::RadioGroup:
      case K::ComboBox:
        control->itemIndex = control->IndexOf(value, true);
        if (control->Kind() == K::ComboBox) control->text = value;
        if (control->Kind() == K::RadioGroup && control->itemIndex < 0) {
          throw AnswerFileError("[" + std::string(section) + "] " + name + " has no choice " +
                                value);
        }
        break;
      case K::Memo:
        control->Clear();
        for (auto& item : SplitCommaList(value)) control->AddLine(std::move(item));
        break;
      default:
        // What a person can type: no more than the box holds.
        if (control->maxLength > 0 && value.size() > std::size_t(control->maxLength)) {
          throw AnswerFileError("[" + std::string(section) + "] " + name + " holds at most " +
                                std::to_string(control->maxLength) + " characters, not " +
                                std::to_string(value.size()));
        }
        control->text = value;
        break;
    }
  }
}

}  // namespace nimbra::setup
