#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace nimbra::keys::test {

// A Ui that records the messages it was shown and answers modal dialogs
// through a callback (Cancel when none is set).
class FakeUi : public ui::Ui {
 public:
  struct Shown {
    std::string caption;
    std::string text;
  };
  std::vector<Shown> messages;
  std::function<ui::ModalResult(ui::Form&)> onModal;
  int modalCount = 0;
  // Questions: how many were asked, the last one's text, the answer given.
  int asked = 0;
  std::string lastQuestion;
  ui::Answer answer = ui::Answer::Yes;

  bool Saw(const std::string& text) const {
    for (const Shown& m : messages)
      if (m.text == text) return true;
    return false;
  }

  void ShowWindow(ui::Form&, bool) override {}
  void SetMainForm(ui::Form&) override {}
  void ProcessMessages() override {}
  void SetBusyCursor(bool) override {}
  ui::Point CursorPos() override { return {}; }
  int StartTimer(int, std::function<void()>) override { return 1; }
  void StopTimer(int) override {}

 protected:
  void DoMessage(std::string_view caption, std::string_view text) override {
    messages.push_back({std::string(caption), std::string(text)});
  }
  ui::Answer DoAsk(const ui::Question& question, ui::Buttons) override {
    ++asked;
    lastQuestion = question.text;
    return answer;
  }
  std::optional<std::string> DoInput(const ui::Question&, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> DoFileDialog(DialogKind, const ui::FileDialog&) override {
    return std::nullopt;
  }
  ui::ModalResult DoShowModal(ui::Form& dialog) override {
    ++modalCount;
    return onModal ? onModal(dialog) : ui::ModalResult::Cancel;
  }
};

}  // namespace nimbra::keys::test
