#include "ui/setup_form.h"

#include <gtest/gtest.h>

using namespace nimbra::ui;

TEST(SetupForm, HoldsEveryPageAndTheControlsOtherStepsReadByName) {
  auto form = MakeSetupForm();
  EXPECT_EQ(form->caption, "NimbraPost Auto Setup");
  for (const char* page :
       {"TabSheet1",   "TabSheet2",        "TabSheet3",  "TabSheet4",  "TabSheet5",  "TabSheet6",
        "TabSheet6a",  "TabSheet7",        "TabSheet8",  "TabSheet9",  "TabSheet10", "TabSheet11",
        "TabSheet12",  "TabSheet13",       "TabSheet14", "TabSheet15", "TabSheet16", "TabSheet17",
        "TabSheet18",  "TabSheet19",       "TabSheet20", "TabSheet21", "TabSheet22", "TabSheet23",
        "TabSheet24",  "TabSheet25",       "TabSheet26", "TabSheet27", "TabSheet28", "TabSheet31",
        "TabSheet32",  "TabSheet33",       "TabSheet34", "TabSheet35", "TabSheet36", "TabSheetOrva",
        "TabSheetPGP", "TabSheetOverWrite"}) {
    EXPECT_NE(form->FindPage(page), nullptr) << page;
  }
  for (const char* control : {"SoftwareLocation",
                              "DataLocation",
                              "SharedDataLocation",
                              "WSFilesLocation",
                              "ProgGroupName",
                              "UserName",
                              "GroupName",
                              "NewPass",
                              "ConfirmPass",
                              "PrimeEmail",
                              "EmailAddrs",
                              "SoftwareList",
                              "DNS1",
                              "DNS2",
                              "Quickroute",
                              "SMTPPort",
                              "POP3Port",
                              "IMAPPort",
                              "RegName",
                              "ServerName",
                              "RegAddress",
                              "NbrSMTPPort",
                              "NetIMAP",
                              "NBR_IPList",
                              "InternalIP",
                              "SendIP",
                              "RelayType",
                              "RelayIP",
                              "gwFirewall",
                              "GateConfig",
                              "NimbraAccounts",
                              "DriveCheck",
                              "Detect",
                              "MouseScribble",
                              "Panel2",
                              "AddPGP",
                              "InstallSet",
                              "NetTask",
                              "NetProgress",
                              "FreeUpdatesYesNo",
                              "Strong"}) {
    EXPECT_TRUE(form->Has(control)) << control;
  }
  EXPECT_FALSE(form->At("Prev").enabled);
  EXPECT_EQ(form->At("GroupName").maxLength, 20);
  EXPECT_EQ(form->At("SMTPPort").text, "25");
}

TEST(SetupForm, DialogButtonsCloseTheirDialog) {
  auto caly = MakeCalyTimeoutForm();
  caly->Click("Illustration");
  EXPECT_EQ(caly->modalResult, ModalResult::Ok);
  auto logon = MakeOldLogonForm();
  logon->Click("Cancel");
  EXPECT_EQ(logon->modalResult, ModalResult::Cancel);
}
