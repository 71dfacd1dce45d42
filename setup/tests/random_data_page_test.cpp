// The random-data page: mouse samples, progress texts and the navigation hold.

#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

class RandomDataPageTest : public WizardTest {
 public:
  // A created wizard showing the security-level page, driven by hand.
  void OpenSecurityLevelPage() {
    ScriptType(1);
    log = std::make_unique<ui::EventLog>();
    ui = std::make_unique<AnswerFileUi>("");
    ui->SetLog(log.get());
    wizard = std::make_unique<TSetupForm>(*ui, *machine, "D:\\");
    wizard->FormCreate();
    wizard->ShowPage("TabSheet9");
  }
  ui::Control& C(const char* name) { return wizard->Form().At(name); }
  void Move(int x, int y) { C("MouseScribble").onMouseMove(0, x, y); }
  const std::vector<std::uint8_t>& Samples() { return wizard->Context().mouseSamples; }
};

TEST_F(RandomDataPageTest, LeavingTheSecurityPageHoldsNavigationUntilAHundredSamples) {
  OpenSecurityLevelPage();
  ASSERT_TRUE(wizard->Form().Click("Next"));
  EXPECT_EQ(wizard->Form().ActivePage(), "TabSheet10");
  EXPECT_FALSE(C("Next").enabled);
  EXPECT_FALSE(C("Prev").enabled);
  EXPECT_TRUE(C("ProgressBar1").visible);
  EXPECT_TRUE(C("MouseComplete").visible);

  Move(0x37, 0x5C);
  ASSERT_EQ(Samples().size(), 1u);
  EXPECT_EQ(Samples()[0], 0x7C);

  for (int i = 1; i < 42; ++i) Move(i, 2 * i);
  EXPECT_EQ(C("MouseComplete").text, "42% complete");
  EXPECT_EQ(C("ProgressBar1").position, 42);
  EXPECT_FALSE(C("Next").enabled);

  for (int i = 42; i < 99; ++i) Move(i, i);
  EXPECT_FALSE(C("Next").enabled);
  Move(1, 2);  // the 100th sample
  EXPECT_TRUE(C("Next").enabled);
  EXPECT_TRUE(C("Prev").enabled);
  EXPECT_FALSE(C("ProgressBar1").visible);
  EXPECT_FALSE(C("MouseScribble").visible);
  EXPECT_EQ(C("MouseComplete").text, "Click Next to Continue.");
  EXPECT_EQ(C("MouseScribble").hint, "Now click the NEXT button to continue.");
  EXPECT_EQ(C("Panel2").text, "You have entered enough random data, click Next to Continue");
  EXPECT_EQ(Samples().back(), 0x12);

  // Further moves keep the buffer at 100 and only refresh the texts.
  Move(5, 5);
  EXPECT_EQ(Samples().size(), 100u);
  EXPECT_EQ(Samples().back(), 0x12);
  EXPECT_EQ(C("MouseComplete").text, "Click Next to Continue.");

  ASSERT_TRUE(wizard->Form().Click("Next"));
  EXPECT_EQ(wizard->Form().ActivePage(), "TabSheet11");
  EXPECT_FALSE(C("MouseComplete").visible);
}

TEST_F(RandomDataPageTest, EnoughSamplesBeforehandLeaveTheNavigationAlone) {
  OpenSecurityLevelPage();
  wizard->Context().mouseSamples.assign(100, 0x11);
  ASSERT_TRUE(wizard->Form().Click("Next"));
  EXPECT_TRUE(C("Next").enabled);
  EXPECT_FALSE(C("MouseComplete").visible);
}

TEST_F(RandomDataPageTest, PageStackMovesCountOnlyWhileGathering) {
  OpenSecurityLevelPage();
  C("Prev").enabled = true;                   // as after the welcome page
  ASSERT_TRUE(wizard->Form().Click("Prev"));  // back to the check list of accounts
  EXPECT_EQ(wizard->Form().ActivePage(), "TabSheet8");
  // That page's entry gives the navigation back; the gathering still runs.
  EXPECT_TRUE(C("Next").enabled);
  EXPECT_TRUE(C("ProgressBar1").visible);
  C("Next").enabled = false;
  for (int i = 0; i < 100; ++i) wizard->Form().onMouseMove(0, i, i);
  EXPECT_TRUE(C("Next").enabled);

  // Once the gathering is over, moves over the pages change nothing.
  C("Next").enabled = false;
  wizard->Form().onMouseMove(0, 1, 1);
  EXPECT_FALSE(C("Next").enabled);
}

TEST_F(WizardTest, UnattendedRunTakesSamplesFromTheAnswerFileOrTheSystem) {
  ScriptType(1);
  Result r = Run(std::string(kDesktopAnswers) + "[TabSheet10]\r\nSamples=7c01\r\n");
  ASSERT_EQ(r.code, 0) << r.reason;
  const std::vector<std::uint8_t> samples = wizard->Context().mouseSamples;
  ASSERT_EQ(samples.size(), 100u);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    ASSERT_EQ(samples[i], i % 2 ? 0x01 : 0x7C) << i;
  }
  EXPECT_NE(std::find(r.log.begin(), r.log.end(), "RANDOM mouse samples from the answer file"),
            r.log.end());

  UndoRun();
  Result os = Run(kDesktopAnswers);
  ASSERT_EQ(os.code, 0) << os.reason;
  EXPECT_EQ(wizard->Context().mouseSamples.size(), 100u);
  EXPECT_NE(std::find(os.log.begin(), os.log.end(),
                      "RANDOM mouse samples from the operating system's random source"),
            os.log.end());
  EXPECT_NE(wizard->Context().mouseSamples, samples);
}

TEST_F(WizardTest, MalformedSamplesAreReportedAsABadAnswerFile) {
  EXPECT_THROW(AnswerFileUi("[TabSheet10]\r\nSamples=7g\r\n"), AnswerFileError);
}

}  // namespace
}  // namespace nimbra::setup::testing
