#include "setupstate/installer_script.h"

#include <gtest/gtest.h>

#include <string>

using nimbra::setup::InstallSettings;
using nimbra::setup::ReadInstallerSettings;

TEST(InstallerScript, MissingFileOrSectionsGiveEveryDefault) {
  InstallSettings s;
  ReadInstallerSettings("", s);
  EXPECT_EQ(s.ProductType, "NimbraPost 4");
  EXPECT_EQ(s.Release, "4.x");
  EXPECT_EQ(s.Source, "Generic");
  EXPECT_EQ(s.InstallType, 0);
  EXPECT_EQ(s.RunQuantity, 1);
  EXPECT_FALSE(s.AsService);
  EXPECT_EQ(s.Sequence, "04.00.00");
  EXPECT_EQ(s.TrayMenu, "255");
  EXPECT_EQ(s.KeyValidityDays, 365);
  EXPECT_EQ(s.ThirdPartyDll, "ExtAuth.dll");
  EXPECT_TRUE(s.StartMenuNames.empty());
  EXPECT_EQ(s.RestartError,
            "NimbraPost Could Not be Started.\r\nAfter installation restart your machine to "
            "activate NimbraPost");
}

TEST(InstallerScript, ReadsEveryKeyWithCrLfOrLfLineEnds) {
  for (const char* eol : {"\r\n", "\n"}) {
    std::string text = std::string("[PRODUCT]") + eol + "Installer=NimbraPost Pro" + eol +
                       "Release=4.2" + eol + "RunType=2" + eol + "RunQty=5" + eol + "NT=1" + eol +
                       "SEQ=04.02.00" + eol + "[dbinstaller]" + eol + "RUNAFTER=a.exe" + eol +
                       "FILES=F:\\Shared\\" + eol + "[STARTMENU]" + eol + "Manager=" + eol +
                       "Viewer=Peruse.exe" + eol + "[Defaults]" + eol + "DNS2=10.0.0.2" + eol +
                       "KeysExpires=30" + eol + "[ThirdParty]" + eol + "Available=1" + eol;
    InstallSettings s;
    ReadInstallerSettings(text, s);
    EXPECT_EQ(s.ProductType, "NimbraPost Pro");
    EXPECT_EQ(s.Release, "4.2");
    EXPECT_EQ(s.InstallType, 2);
    EXPECT_EQ(s.RunQuantity, 5);
    EXPECT_TRUE(s.AsService);
    EXPECT_EQ(s.Sequence, "04.02.00");
    EXPECT_EQ(s.RunAfter, "a.exe");
    EXPECT_EQ(s.DatabaseFiles, "F:\\Shared\\");
    EXPECT_EQ(s.DnsDefault2, "10.0.0.2");
    EXPECT_EQ(s.KeyValidityDays, 30);
    EXPECT_TRUE(s.ThirdPartyAvailable);
    // An explicitly empty start-menu value stays empty; file order is kept.
    ASSERT_EQ(s.StartMenuNames, (std::vector<std::string>{"Manager", "Viewer"}));
    EXPECT_EQ(s.StartMenuTargets, (std::vector<std::string>{"", "Peruse.exe"}));
  }
}

TEST(InstallerScript, OddContentFallsBackToDefaults) {
  InstallSettings s;
  ReadInstallerSettings("[PRODUCT]\nRunType=two\nRunQty=3x\n[Defaults]\nKeysExpires=\n", s);
  EXPECT_EQ(s.InstallType, 0);
  EXPECT_EQ(s.RunQuantity, 1);
  EXPECT_EQ(s.KeyValidityDays, 365);

  std::string huge = "[PRODUCT]\r\nRelease=" + std::string(1 << 20, 'x') + "\r\nRunType=1\r\n";
  ReadInstallerSettings(huge, s);
  EXPECT_EQ(s.Release.size(), 1u << 20);
  EXPECT_EQ(s.InstallType, 1);

  std::string binary("\0\xff[PRODUCT\x01\r\r\n=\n[", 14);
  ReadInstallerSettings(binary, s);
  EXPECT_EQ(s.InstallType, 0);
}

TEST(InstallerScript, IntegersAndTheServiceSwitchAreDecimalOnly) {
  struct Case {
    const char* value;
    int number;    // what "RunType" reads as (default 0)
    bool service;  // what "NT" reads as (default false)
  };
  const Case cases[] = {
      {"3", 3, true},   {" 4 ", 4, true}, {"\"5\"", 5, true}, {"-1", -1, true},  {"0", 0, false},
      {"2x", 0, false}, {"$3", 0, false}, {"0x3", 0, false},  {"3.0", 0, false}, {"1 2", 0, false},
  };
  for (const Case& c : cases) {
    InstallSettings s;
    ReadInstallerSettings(std::string("[PRODUCT]\r\nRunType=") + c.value + "\r\nRunQty=" + c.value +
                              "\r\nNT=" + c.value + "\r\n[Defaults]\r\nKeysExpires=" + c.value +
                              "\r\n",
                          s);
    const bool reads = c.number != 0 || std::string(c.value) == "0";
    EXPECT_EQ(s.InstallType, c.number) << c.value;
    EXPECT_EQ(s.RunQuantity, reads ? c.number : 1) << c.value;
    EXPECT_EQ(s.KeyValidityDays, reads ? c.number : 365) << c.value;
    EXPECT_EQ(s.AsService, c.service) << c.value;
  }
}
