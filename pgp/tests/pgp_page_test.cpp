#include "pgp/pgp_page.h"

#include <gtest/gtest.h>

#include "keys/tests/fake_ui.h"
#include "pgp/tests/pgp_fixture.h"
#include "pgp/toolkit_prefs.h"
#include "ui/setup_form.h"

namespace nimbra::pgp::testing {
namespace {

// The page's file changes straight on the machine, counted.
class CountingFiles : public PgpFileOps {
 public:
  explicit CountingFiles(platform::Machine& machine) : machine_(machine) {}
  int calls = 0;
  bool CopyInto(std::string_view sourceDir, std::string_view name,
                std::string_view destDir) override {
    ++calls;
    return machine_.CopyFile(std::string(sourceDir) + std::string(name),
                             platform::JoinWindowsPath(destDir, name), false);
  }
  bool Rename(std::string_view from, std::string_view to) override {
    ++calls;
    return machine_.MoveFile(from, to, true);
  }
  bool WriteFile(std::string_view path, std::string_view content) override {
    ++calls;
    machine_.ForceDirectories(platform::ExtractFileDir(path));
    machine_.WriteFile(path, content);
    return true;
  }

 private:
  platform::Machine& machine_;
};

class PgpPageTest : public ToolkitTest {
 protected:
  PgpPageTest()
      : form(ui::MakeSetupForm()),
        context(*form, fakeUi, *m, settings, "D:\\", "SETUP.EXE"),
        files(*m),
        page(RegisterPgpPage(context, *binding, files)) {
    Text("DataLocation") = "C:\\Data\\";
    Text("SoftwareLocation") = "C:\\Program Files\\NimbraPost\\";
  }
  std::string& Text(const char* control) { return form->At(control).text; }
  void Enter() { context.Handlers("TabSheetPGP")->enter(); }
  void Exit(bool checked) {
    form->At("AddPGP").checked = checked;
    context.Handlers("TabSheetPGP")->exit();
  }

  keys::test::FakeUi fakeUi;
  std::unique_ptr<ui::Form> form;
  setup::InstallSettings settings;
  setup::WizardContext context;
  CountingFiles files;
  std::shared_ptr<PgpPage> page;
};

TEST_F(PgpPageTest, NoToTheDriverQuestionLeavesTheFieldsEmpty) {
  fakeUi.answer = ui::Answer::No;
  Enter();
  EXPECT_EQ(fakeUi.asked, 1);
  EXPECT_EQ(fakeUi.lastQuestion,
            "No PGP Drivers were found on your system, would you like to install them now?");
  EXPECT_EQ(Text("PGPSecRing"), "");
  EXPECT_EQ(Text("PGPRandSeed"), "");
  EXPECT_EQ(Text("PGPPubRing"), "");
  EXPECT_EQ(files.calls, 0);
  // The page stays usable: leaving it unchecked does nothing at all.
  Exit(false);
  EXPECT_TRUE(fakeUi.messages.empty());
  EXPECT_FALSE(settings.PgpPreferencesSet);
}

TEST_F(PgpPageTest, YesInstallsTheLibraryFromTheSetupFolderAndFillsTheDefaults) {
  m.PutFile("D:\\PGPsdk.dl_", "library");
  Enter();
  EXPECT_TRUE(m->FileExists(SystemFile("PGPsdk.dll")));
  EXPECT_FALSE(m->FileExists(SystemFile("PGPsdk.dl_")));
  EXPECT_TRUE(binding->Available());
  EXPECT_EQ(Text("PGPSecRing"), "C:\\Data\\secring.pkr");
  EXPECT_EQ(Text("PGPRandSeed"), "C:\\Program Files\\NimbraPost\\randseed.bin");
  EXPECT_EQ(Text("PGPPubRing"), "C:\\Data\\pubring.pkr");
  // Entering again asks nothing more.
  Enter();
  EXPECT_EQ(fakeUi.asked, 1);
}

TEST_F(PgpPageTest, YesWithoutTheLibraryInTheSetupFolderStillGivesTheDefaults) {
  Enter();
  EXPECT_FALSE(binding->Available());
  EXPECT_EQ(Text("PGPPubRing"), "C:\\Data\\pubring.pkr");
}

TEST_F(PgpPageTest, AnAvailableToolkitFillsTheFieldsAndNeverWithDefaults) {
  InstallLibrary();
  ASSERT_TRUE(binding->Load());
  ASSERT_EQ(binding->WritePreference("E:\\gone\\sec.pkr", kSelectPrivateRing), kPgpOk);
  Text("PGPPubRing") = "typed";
  Enter();
  EXPECT_EQ(fakeUi.asked, 0);
  EXPECT_EQ(Text("PGPSecRing"), "E:\\gone\\sec.pkr");
  EXPECT_EQ(Text("PGPRandSeed"), "");      // not set in the toolkit
  EXPECT_EQ(Text("PGPPubRing"), "typed");  // not set: the field keeps its text
}

TEST_F(PgpPageTest, LeavingUncheckedTouchesNeitherTheToolkitNorAnyFile) {
  InstallLibrary();
  Text("PGPRandSeed") = "C:\\seed.bin";
  Exit(false);
  EXPECT_FALSE(binding->Available());
  EXPECT_EQ(files.calls, 0);
  EXPECT_FALSE(m->FileExists(ToolkitPrefs::FilePath(*m)));
  EXPECT_FALSE(m->FileExists("C:\\seed.bin"));
}

TEST_F(PgpPageTest, LeavingCheckedWritesThePreferencesAndTheSamplesAsTheSeed) {
  m.PutFile("D:\\PGPsdk.dl_", "library");
  Enter();
  context.mouseSamples = {0x12, 0x34, 0xF0};
  Exit(true);
  EXPECT_TRUE(fakeUi.messages.empty());
  EXPECT_TRUE(settings.PgpPreferencesSet);
  EXPECT_EQ(m.ReadFile("C:\\Program Files\\NimbraPost\\randseed.bin"), "\x12\x34\xF0");
  EXPECT_EQ(Read(kSelectPrivateRing), "C:\\Data\\secring.pkr");
  EXPECT_EQ(Read(kSelectRandomSeed), "C:\\Program Files\\NimbraPost\\randseed.bin");
  EXPECT_EQ(Read(kSelectPublicRing), "C:\\Data\\pubring.pkr");
}

TEST_F(PgpPageTest, AnExistingSeedFileIsKeptAndNoMovementGivesAnEmptyOne) {
  InstallLibrary();
  m.PutFile("C:\\old.bin", "old seed");
  Text("PGPSecRing") = "C:\\s.pkr";
  Text("PGPPubRing") = "C:\\p.pkr";
  Text("PGPRandSeed") = "C:\\old.bin";
  context.mouseSamples = {1, 2, 3};
  Exit(true);
  EXPECT_EQ(m.ReadFile("C:\\old.bin"), "old seed");
  EXPECT_TRUE(settings.PgpPreferencesSet);

  context.mouseSamples.clear();
  Text("PGPRandSeed") = "C:\\new.bin";
  Exit(true);
  EXPECT_EQ(m.ReadFile("C:\\new.bin"), "");
}

TEST_F(PgpPageTest, WithoutTheToolkitLeavingCheckedReportsTheFailure) {
  Text("PGPSecRing") = "C:\\s.pkr";
  Text("PGPRandSeed") = "C:\\r.bin";
  Text("PGPPubRing") = "C:\\p.pkr";
  Exit(true);
  EXPECT_TRUE(fakeUi.Saw("Setup was unable to set your PGP Preferences"));
  EXPECT_FALSE(settings.PgpPreferencesSet);
  EXPECT_FALSE(m->FileExists("C:\\r.bin"));
}

TEST_F(PgpPageTest, AboutShowsTheLicenceNote) {
  form->At("AboutPGP").onClick();
  ASSERT_EQ(fakeUi.messages.size(), 1u);
  EXPECT_EQ(fakeUi.messages[0].caption, "About PGP");
  EXPECT_EQ(fakeUi.messages[0].text,
            "PGP is supplied under license from Network Associates using the PGPsdk.");
}

}  // namespace
}  // namespace nimbra::pgp::testing
