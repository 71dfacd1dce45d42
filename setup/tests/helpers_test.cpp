#include <gtest/gtest.h>

#include "setup/dns.h"
#include "setup/referral.h"
#include "testsupport/test_machine.h"

namespace nimbra::setup {
namespace {

TEST(Dns, SplitsAtSpaceThenComma) {
  std::string dns1 = "10.0.0.1 10.0.0.2 10.0.0.3", dns2;
  SplitNameServers(dns1, dns2);
  EXPECT_EQ(dns1, "10.0.0.1");
  EXPECT_EQ(dns2, "10.0.0.2");

  dns1 = "10.0.0.1,10.0.0.2";
  dns2.clear();
  SplitNameServers(dns1, dns2);
  EXPECT_EQ(dns1, "10.0.0.1");
  EXPECT_EQ(dns2, "10.0.0.2");

  dns1 = "10.0.0.1";
  dns2 = "keep";
  SplitNameServers(dns1, dns2);
  EXPECT_EQ(dns2, "keep");

  dns1 = "a " + std::string(300, 'b');
  SplitNameServers(dns1, dns2);
  EXPECT_EQ(dns2.size(), 100u);
}

TEST(Dns, FirstNonEmptyRegistryValueWins) {
  testsupport::TestMachine m;
  EXPECT_EQ(DiscoverNameServers(m->Reg()), "");
  m.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "NameServer",
              "1.1.1.1");
  m.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "DhcpNameServer",
              "2.2.2.2");
  EXPECT_EQ(DiscoverNameServers(m->Reg()), "2.2.2.2");
  m.SetString("HKLM\\System\\CurrentControlSet\\Services\\VxD\\MSTCP", "NameServer", "");
  m.SetString("HKLM\\System\\CurrentControlSet\\Services\\VxD\\MSTCP", "DhcpNameServer", "3.3.3.3");
  EXPECT_EQ(DiscoverNameServers(m->Reg()), "3.3.3.3");
}

TEST(Referral, BothCookieLayoutsAndTheLastMatchWins) {
  EXPECT_EQ(FindReferral({"NIMREF", "partner1", "x"}), "partner1");
  EXPECT_EQ(FindReferral({"www.NimbraPost.com\tFALSE\t/\tFALSE\t0\tnimref\tabc", "next"}), "ABC");
  EXPECT_EQ(FindReferral({"NIMREF", "first", "NIMREF", "second"}), "second");
  // A line without a following line is not looked at.
  EXPECT_EQ(FindReferral({"NIMREF"}), "");
  EXPECT_EQ(FindReferral({"other.com NIMREF x", ""}), "");
}

TEST(Referral, ReadsTheBrowserFolderThenTheCookiesFolder) {
  testsupport::TestMachine m;
  EXPECT_EQ(ReferralLookup(*m), "");
  m.PutFile("C:\\Program Files\\Netscape\\Users\\jane\\cookies.txt",
            ".nimbrapost.com\tTRUE\t/\tFALSE\t0\tNIMREF\tnet1\r\nend\r\n");
  EXPECT_EQ(ReferralLookup(*m), "NET1");
  m.SetString("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
              "Cookies", "C:\\Windows\\Cookies");
  m.PutFile("C:\\Windows\\Cookies\\tester@nimbrapost(1).txt", "NIMREF\nie7\n");
  m.PutFile("C:\\Windows\\Cookies\\cookies.txt", "NIMREF\nignored\n");
  EXPECT_EQ(ReferralLookup(*m), "ie7");
}

}  // namespace
}  // namespace nimbra::setup
