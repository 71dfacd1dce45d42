// How an unattended run reads its answer file: values as data, Default= and
// the limits the form's controls set.

#include <algorithm>

#include "setup/tests/wizard_fixture.h"

namespace nimbra::setup::testing {
namespace {

bool Logged(const WizardTest::Result& r, const std::string& line) {
  return std::find(r.log.begin(), r.log.end(), line) != r.log.end();
}

TEST_F(WizardTest, AnswerValuesAreKeptExactly) {
  ScriptType(1);
  Result r =
      Run("[TabSheet11]\r\nPrimeEmail=jane@example.com\r\n"
          "[TabSheet12]\r\nUserName= Jane Doe \r\nGroupName='Quoted'\r\n"
          "NewPass=\"secret\"\r\nConfirmPass=\"secret\"\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(Text("NewPass"), "\"secret\"");
  EXPECT_EQ(Text("ConfirmPass"), "\"secret\"");
  EXPECT_EQ(Text("UserName"), " Jane Doe ");
  EXPECT_EQ(Text("GroupName"), "'Quoted'");

  // Words that steer the run (buttons, answers, switches) ignore the blanks.
  UndoRun();
  r = Run(std::string(kDesktopAnswers) +
          "[TabSheet18]\r\nQuickroute= 0 \r\n[TabSheet19]\r\nPress= Finish \r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_FALSE(wizard->Form().At("Quickroute").checked);
}

TEST_F(WizardTest, OrganisationHoldsWhatItsBoxHolds) {
  ScriptType(1);
  Result r = Run(std::string(kDesktopAnswers) + "GroupName=" + std::string(20, 'o') + "\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(Text("GroupName"), std::string(20, 'o'));

  UndoRun();
  r = Run(std::string(kDesktopAnswers) + "GroupName=" + std::string(21, 'o') + "\r\n");
  EXPECT_EQ(r.code, kExitBadAnswers);
  EXPECT_NE(r.reason.find("GroupName holds at most 20 characters"), std::string::npos) << r.reason;
  EXPECT_EQ(r.pages.back(), "TabSheet12");
}

TEST_F(WizardTest, DefaultPressesOnlyAButtonTheQuestionHas) {
  ScriptType(1);
  machine.PutFile("C:\\Program Files\\NimbraPost\\Data\\Users.ini", "");
  const std::string join =
      "JoinExistingDatabase The data file location already contains a key database. Would you "
      "like to connect as a client to this database? -> ";

  // OK is no button of a Yes/No question: the question has no answer.
  Result r = Run(std::string(kDesktopAnswers) + "[Answers]\r\nDefault=OK\r\n");
  EXPECT_EQ(r.code, ui::kExitUnanswered);
  EXPECT_FALSE(wizard->Settings().JoinExistingDatabase);
  EXPECT_TRUE(Logged(r, "QUESTION " + join + "(Default=OK is none of its buttons)"));

  // No is, and the log says where the answer came from.
  UndoRun();
  r = Run(std::string(kDesktopAnswers) + "[Answers]\r\nDefault=No\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(Logged(r, "QUESTION " + join + "No (by Default=)"));

  // A question's own answer may still say OK for Yes.
  UndoRun();
  r = Run(std::string(kDesktopAnswers) + "[Answers]\r\nJoinExistingDatabase=OK\r\nDefault=No\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(wizard->Settings().JoinExistingDatabase);
  EXPECT_TRUE(Logged(r, "QUESTION " + join + "Yes"));
}

TEST_F(WizardTest, DefaultCancelsInputBoxesButFillsNoneIn) {
  ScriptType(1);
  const std::string add =
      "[TabSheet11]\r\nPress=AddAddress,Next\r\nPrimeEmail=jane@example.com\r\n"
      "[TabSheet12]\r\nNewPass=pw\r\nConfirmPass=pw\r\n";
  Result r = Run(add + "[Answers]\r\nDefault=OK\r\n");
  EXPECT_EQ(r.code, ui::kExitUnanswered);
  EXPECT_TRUE(wizard->Form().At("EmailAddrs").items.empty());

  UndoRun();
  r = Run(add + "[Answers]\r\nDefault=Cancel\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_TRUE(Logged(r, "QUESTION AddEmailAddress Enter an Email Address -> Cancel (by Default=)"));

  UndoRun();
  r = Run(add + "[Answers]\r\nAddEmailAddress= al@example.com\r\n");
  EXPECT_EQ(r.code, 0) << r.reason;
  EXPECT_EQ(wizard->Form().At("EmailAddrs").items.at(0).text, " al@example.com");
}

}  // namespace
}  // namespace nimbra::setup::testing
