#include "ui/questions.h"

#include <gtest/gtest.h>

namespace nimbra::ui {
namespace {

TEST(Questions, AnswerKeysAreIdentifiersOrBeginningsOfQuestionTexts) {
  for (const char* key :
       {"JoinExistingDatabase", "joinexistingdatabase", "Are you sure",
        "ARE YOU SURE YOU WANT TO "
        "EXIT SETUP?",
        "Do you wish to update", "Do you wish to update Jo Smith", "Calypso MailBox",
        "Email 2000 MailBox : jo", "Select location for the NimbraPost"})
    EXPECT_TRUE(AnswersSomeQuestion(key)) << key;
  for (const char* key : {"JoinExistingDatabse", "Are you sure you want to Exit Setup?!", "Calypso",
                          "Default2", "Ok", "TabSheet12"})
    EXPECT_FALSE(AnswersSomeQuestion(key)) << key;
}

}  // namespace
}  // namespace nimbra::ui
