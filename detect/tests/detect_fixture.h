#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "detect/account_sections.h"
#include "detect/client_search.h"
#include "detect/detect_context.h"
#include "platform/registry/registry.h"
#include "testsupport/test_machine.h"
#include "ui/form.h"
#include "ui/ui.h"

namespace nimbra::detect::testing {

// A Ui without a person: it counts how often the window was let process its
// messages, refuses every question, types the texts of `inputs` into the
// input boxes in turn (then cancels them) and keeps what was shown.
class CountingUi : public ui::Ui {
 public:
  int pumps = 0;
  std::vector<std::string> panelTexts;  // the panel's caption at each pump
  const ui::Control* panel = nullptr;
  std::vector<std::optional<std::string>> inputs;
  struct Asked {
    ui::Question question;
    std::string initial;
  };
  std::vector<Asked> asked;
  std::vector<std::string> messages;

  void ShowWindow(ui::Form&, bool) override {}
  void SetMainForm(ui::Form&) override {}
  void ProcessMessages() override {
    ++pumps;
    if (panel && (panelTexts.empty() || panelTexts.back() != panel->text)) {
      panelTexts.push_back(panel->text);
    }
  }
  void SetBusyCursor(bool) override {}
  ui::Point CursorPos() override { return {}; }
  int StartTimer(int, std::function<void()>) override { return 1; }
  void StopTimer(int) override {}

 protected:
  void DoMessage(std::string_view, std::string_view text) override { messages.emplace_back(text); }
  ui::Answer DoAsk(const ui::Question&, ui::Buttons) override { return ui::Answer::Cancel; }
  std::optional<std::string> DoInput(const ui::Question& question,
                                     std::string_view initial) override {
    asked.push_back({question, std::string(initial)});
    if (asked.size() > inputs.size()) return std::nullopt;
    return inputs[asked.size() - 1];
  }
  std::optional<std::string> DoFileDialog(DialogKind, const ui::FileDialog&) override {
    return std::nullopt;
  }
  ui::ModalResult DoShowModal(ui::Form&) override { return ui::ModalResult::Cancel; }
};

inline constexpr const char* kFolder = "C:\\Program Files\\NimbraPost\\";

// A fresh machine whose only search drive is C, with the search around it.
class DetectTest : public ::testing::Test {
 public:
  DetectTest() : context(*machine, ui, "D:\\SETUP\\") {
    machine.AddDrive('D', platform::DriveType::CdRom, "SETUP");
    machine.PutDirectory("D:\\SETUP");
    context.searchDrives = {"C:\\"};
  }

  // Runs the search; returns the accounts of WS.INI afterwards, in number
  // order.
  std::vector<DetectedAccount> Search() {
    ui::Control panel("Detect", ui::ControlKind::Panel, "TabSheet7");
    ui.panel = &panel;
    machine->ForceDirectories(kFolder);
    SearchForClients(context, panel, addresses, kFolder);
    ui.panel = nullptr;
    finished = panel.text;
    return Saved();
  }
  // The sections as stored (not refreshed from the clients).
  std::vector<DetectedAccount> Saved() {
    std::vector<DetectedAccount> saved;
    platform::ProfileFile ini = WsIniFile(*machine, kFolder);
    for (int n = 1;; ++n) {
      DetectedAccount account;
      if (!LoadAccountSection(ini, n, account)) return saved;
      saved.push_back(account);
    }
  }
  // The lines of section n as written, joined with "|".
  std::string Section(int n) {
    const std::string text = machine.ReadFile(std::string(kFolder) + "WS.INI");
    const std::string header = "[" + AccountSectionName(n) + "]\r\n";
    auto at = text.find(header);
    if (at == std::string::npos) return {};
    at += header.size();
    std::string lines;
    while (at < text.size() && text[at] != '[') {
      const auto end = text.find("\r\n", at);
      const std::string line = text.substr(at, end - at);
      if (!line.empty()) lines += (lines.empty() ? "" : "|") + line;
      if (end == std::string::npos) break;
      at = end + 2;
    }
    return lines;
  }

  // Registry values under HKEY_CURRENT_USER, without saving the files.
  platform::RegKey UserKey(const std::string& path) {
    return *machine->Reg().OpenKey(platform::RootKey::CurrentUser, path, true);
  }

  testsupport::TestMachine machine;
  CountingUi ui;
  DetectContext context;
  std::vector<std::string> addresses;
  std::string finished;
};

}  // namespace nimbra::detect::testing
