#pragma once

#include <string>

#include "ui/ui.h"

namespace nimbra::keys_tool {

// The tool has no window: message boxes are kept (the last one explains a
// failed logon), questions are answered No and dialogs are cancelled.
class ConsoleUi : public ui::Ui {
 public:
  std::string lastMessage;

  void ShowWindow(ui::Form&, bool) override {}
  void SetMainForm(ui::Form&) override {}
  void ProcessMessages() override {}
  void SetBusyCursor(bool) override {}
  ui::Point CursorPos() override { return {}; }
  int StartTimer(int, std::function<void()>) override { return 0; }
  void StopTimer(int) override {}

 protected:
  void DoMessage(std::string_view, std::string_view text) override { lastMessage = text; }
  ui::Answer DoAsk(const ui::Question&, ui::Buttons) override { return ui::Answer::No; }
  std::optional<std::string> DoInput(const ui::Question&, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> DoFileDialog(DialogKind, const ui::FileDialog&) override {
    return std::nullopt;
  }
  ui::ModalResult DoShowModal(ui::Form&) override { return ui::ModalResult::Cancel; }
};

}  // namespace nimbra::keys_tool
