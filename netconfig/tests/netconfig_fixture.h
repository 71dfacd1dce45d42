#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "netconfig/comms_writers.h"
#include "netconfig/server_pages.h"
#include "platform/profile/profile_file.h"
#include "setupstate/wizard_context.h"
#include "testsupport/test_machine.h"
#include "ui/setup_form.h"
#include "ui/ui.h"

namespace nimbra::netconfig::testing {

// A Ui without a person: it keeps the messages shown, counts how often the
// window was let process its messages and answers the file dialog with
// `openFile`.
class RecordingUi : public ui::Ui {
 public:
  std::vector<std::string> messages;
  int pumps = 0;
  std::optional<std::string> openFile;

  void ShowWindow(ui::Form&, bool) override {}
  void SetMainForm(ui::Form&) override {}
  void ProcessMessages() override { ++pumps; }
  void SetBusyCursor(bool) override {}
  ui::Point CursorPos() override { return {}; }
  int StartTimer(int, std::function<void()>) override { return 1; }
  void StopTimer(int) override {}

 protected:
  void DoMessage(std::string_view, std::string_view text) override { messages.emplace_back(text); }
  ui::Answer DoAsk(const ui::Question&, ui::Buttons) override { return ui::Answer::Cancel; }
  std::optional<std::string> DoInput(const ui::Question&, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> DoFileDialog(DialogKind, const ui::FileDialog&) override {
    return openFile;
  }
  ui::ModalResult DoShowModal(ui::Form&) override { return ui::ModalResult::Cancel; }
};

inline constexpr const char* kProgramFolder = "C:\\Program Files\\NimbraPost\\";

// The wizard's form and context on a fresh machine, with the server pages
// registered and the program location set.
class ServerPagesTest : public ::testing::Test {
 public:
  ServerPagesTest()
      : form(ui::MakeSetupForm()),
        context(*form, ui, *machine, settings, "D:\\", "SETUP.EXE"),
        pages(RegisterServerPages(context)) {
    Text("SoftwareLocation") = kProgramFolder;
    pages->limits.connectWait = std::chrono::milliseconds(2000);
    pages->limits.lineWait = std::chrono::milliseconds(300);
  }

  std::string& Text(const char* control) { return form->At(control).text; }
  void SetList(const char* control, const std::vector<std::string>& entries) {
    form->At(control).Clear();
    for (const auto& entry : entries) form->At(control).AddLine(entry);
  }
  std::vector<std::string> List(const char* control) {
    std::vector<std::string> entries;
    for (const auto& item : form->At(control).items) entries.push_back(item.text);
    return entries;
  }
  // Runs an exit check as the navigation does; true when it lets the user go.
  template <typename Check>
  bool Leaves(Check check) {
    settings.MayLeavePage = true;
    (pages.get()->*check)();
    return settings.MayLeavePage;
  }

  // "key=value" lines of a section of the program folder's WS.INI.
  std::vector<std::string> Section(const char* name) {
    platform::ProfileFile ini(*machine->HostPath(std::string(kProgramFolder) + "WS.INI"));
    return ini.SectionValues(name);
  }

  testsupport::TestMachine machine;
  RecordingUi ui;
  setup::InstallSettings settings;
  std::unique_ptr<ui::Form> form;
  setup::WizardContext context;
  std::shared_ptr<ServerPages> pages;
};

}  // namespace nimbra::netconfig::testing
