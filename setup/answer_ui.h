#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "platform/profile/profile_text.h"
#include "ui/ui.h"

namespace nimbra::setup {

// The answer file names a control or value that does not fit the form.
class AnswerFileError : public Exception {
 public:
  using Exception::Exception;
};

// Exit status of a run stopped by an answer file that does not fit the form.
inline constexpr int kExitBadAnswers = 5;

// The Ui of an unattended run: an answer file (INI text) stands in for the
// person. Its values are data, kept exactly as written after "=" (only the
// line end goes). Questions are answered from section [Answers] by
// identifier, then by the beginning of their text (case ignored), then by
// "Default=", which presses only a button the question has (and cancels, but
// never fills in, input boxes and file dialogs); a question without an
// answer ends the run with kExitUnanswered. Dialogs take
// their control values from the section named after the dialog and close
// with the button named by its "Press=" (OK by default). Mouse movements are
// made from the answer file's [TabSheet10] "Samples=" hex bytes (repeated as
// needed) or, without them, from the operating system's random source.
class AnswerFileUi : public ui::Ui {
 public:
  explicit AnswerFileUi(std::string_view answerText);

  const platform::ProfileText& Answers() const { return answers_; }
  // A value exactly as written; `missing` when the key is not there.
  std::string Value(std::string_view section, std::string_view key,
                    std::string_view missing = {}) const;
  // Every text shown in a message box, in order.
  const std::vector<std::string>& Messages() const { return messages_; }
  std::string LastMessage() const { return messages_.empty() ? std::string() : messages_.back(); }

  // Sets the control values of one answer-file section on a form.
  void ApplySection(ui::Form& form, std::string_view section);
  // The next random mouse sample (a byte: x nibble high, y nibble low).
  std::uint8_t NextSample();
  // Moves the mouse over a control or form, one sample per move, until
  // `done` is true or `limit` moves were made; returns the moves made.
  int FeedMouse(const std::function<void(int, int, int)>& handler,
                const std::function<bool()>& done, int limit);

  void ShowWindow(ui::Form& window, bool show) override { window.visible = show; }
  void SetMainForm(ui::Form& form) override { main_ = &form; }
  void ProcessMessages() override;
  void SetBusyCursor(bool busy) override { busy_ = busy; }
  ui::Point CursorPos() override { return {}; }
  int StartTimer(int intervalMs, std::function<void()> tick) override;
  void StopTimer(int id) override;

 protected:
  void DoMessage(std::string_view caption, std::string_view text) override;
  ui::Answer DoAsk(const ui::Question& question, ui::Buttons buttons) override;
  std::optional<std::string> DoInput(const ui::Question& question,
                                     std::string_view initial) override;
  std::optional<std::string> DoFileDialog(DialogKind kind, const ui::FileDialog& dialog) override;
  ui::ModalResult DoShowModal(ui::Form& dialog) override;
  // The answer file's values were refused: it has no others to try.
  ui::ModalResult DoShowModalAgain(ui::Form& dialog, std::string_view refusal) override;

 private:
  struct Found {
    std::string value;
    bool byDefault = false;
  };
  std::optional<Found> FindAnswer(std::string_view id, std::string_view text) const;
  std::optional<std::string> TextAnswer(std::string_view id, std::string_view text);
  [[noreturn]] void Unanswered(std::string_view id, std::string_view text, std::string_view why);

  struct Timer {
    int id;
    std::chrono::milliseconds interval;
    std::chrono::steady_clock::time_point due;
    std::function<void()> tick;
  };

  platform::ProfileText answers_;
  std::vector<std::string> messages_;
  std::vector<std::uint8_t> samples_;
  std::size_t nextSample_ = 0;
  bool randomLogged_ = false;
  std::vector<Timer> timers_;
  int nextTimer_ = 1;
  ui::Form* main_ = nullptr;
  bool busy_ = false;
  // The last mailbox password question answered: its prompt and the answer.
  std::optional<std::pair<std::string, std::string>> lastMailbox_;
};

}  // namespace nimbra::setup
