#pragma once

#include <memory>
#include <string>
#include <vector>

#include "detect/account_sections.h"
#include "detect/client_protection.h"
#include "detect/mailbox_install.h"
#include "detect/mailbox_library.h"
#include "detect/mailbox_reader.h"
#include "detect/tests/detect_fixture.h"
#include "platform/processes/library.h"
#include "testsupport/client_settings.h"
#include "ui/setup_form.h"

namespace nimbra::detect::testing {

inline constexpr const char* kNavigatorKey = "Software\\Netscape\\Netscape Navigator\\";
inline constexpr const char* kInternetMailKey =
    "Software\\Microsoft\\Internet Mail and News\\Mail\\";
inline constexpr const char* kOutlookKey =
    "Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001";
inline constexpr const char* kExchangeKey =
    "Software\\Microsoft\\Windows Messaging Subsystem\\Profiles\\Settings\\0a1b";
inline constexpr const char* kEudoraIni = "C:\\Program Files\\Eudora\\Eudora.ini";
inline constexpr const char* kPMailIni = "C:\\PMAIL\\PMail.ini";
inline constexpr const char* kConnectIni = "C:\\Turnpike\\Connect.ini";
inline constexpr const char* kPrefsJs = "C:\\Netscape\\Users\\jo\\prefs.js";
inline constexpr const char* kMailbox = "C:\\Calypso\\Mail\\Jo.box";
inline constexpr const char* kScript = "D:\\SETUP\\Script.txt";

// A machine with the wizard's form, the mailbox library and one account of
// every client type, ready to be searched and protected.
class ProtectionTest : public DetectTest {
 public:
  ProtectionTest()
      : form(ui::MakeSetupForm()), loader(*machine, "D:\\SETUP"), reader(context, loader) {
    RegisterMailboxLibrary(loader, *machine);
    context.mailboxes = &reader;
    // The mailbox password, for each time the mailbox is read.
    ui.inputs.assign(64, std::string("calypso-pw"));
  }

  void InstallClients() {
    const std::string navigator = kNavigatorKey;
    UserKey(navigator + "User").WriteString("User_Addr", "nav@example.net");
    UserKey(navigator + "Services").WriteString("SMTP_Server", "smtp.nav.example:2525");
    UserKey(navigator + "Services").WriteString("POP_Server", "pop.nav.example");
    UserKey(navigator + "Viewers").WriteString("image/gif", "");

    auto exchange = UserKey(kExchangeKey);
    exchange.WriteString("001e6605", "ex@example.net");
    exchange.WriteString("001e6600", "pop.ex.example");
    exchange.WriteString("001e6611", "smtp.ex.example");

    machine.PutFile(kEudoraIni, testsupport::kEudoraSettings);

    machine.PutFile(kPMailIni, testsupport::kPegasusSettings);

    auto mail = UserKey(kInternetMailKey);
    mail.WriteString("Reply To", "im@example.net");
    mail.WriteString("Default POP3 Server", "pop.im.example");
    mail.WriteString("Default SMTP Server", "smtp.im.example");
    UserKey(std::string(kInternetMailKey) + "POP3\\pop.im.example")
        .WriteBinary("Password", {1, 2, 3, 4});
    UserKey(std::string(kInternetMailKey) + "SMTP\\smtp.im.example").WriteString("Name", "smtp");

    // Two users share the servers of one Connect.ini.
    machine.PutFile(kConnectIni,
                    "[MAIL WINSOCK]\r\nIncoming=POP3\r\nServer=pop.tp.example\r\n"
                    "Gateway=smtp.tp.example\r\n");
    machine.PutFile("C:\\Turnpike\\User001\\Turnpike.ini",
                    "[DESKMAIL Mailbox]\r\nUserName=Tp\r\nReplyTo=Tp <tp@example.net>\r\n");
    machine.PutFile("C:\\Turnpike\\User002\\Turnpike.ini",
                    "[DESKMAIL Mailbox]\r\nUserName=Tq\r\nReplyTo=tq@example.net\r\n");

    machine.PutFile(kPrefsJs,
                    "// Mozilla User Preferences\r\n"
                    "user_pref(\"mail.identity.useremail\", \"nc@example.net\");\r\n"
                    "user_pref(\"network.hosts.pop_server\", \"pop.nc.example\");\r\n"
                    "user_pref(\"network.hosts.smtp_server\", \"smtp.nc.example\");\r\n");

    auto outlook = UserKey(kOutlookKey);
    outlook.WriteString("Account Name", "Home");
    outlook.WriteString("SMTP Email Address", "oe@example.net");
    outlook.WriteString("SMTP Server", "smtp.oe.example");
    outlook.WriteString("IMAP Server", "imap.oe.example");
    outlook.WriteInteger("IMAP Port", 143);

    CreateMailbox(*machine, kMailbox, "calypso-pw",
                  {{"Jo", "jo@cal.example", "", "pop.cal.example", 995, "smtp.cal.example", 25}});
    InstallMailboxLibrary(*machine, kMailbox, "C:\\Program Files\\Calypso");
  }

  // Fills the check list from WS.INI, every entry checked, and protects.
  void Protect(bool quickroute) {
    ui::Control& list = form->At("SoftwareList");
    list.Clear();
    for (std::string& label : AccountSectionLabels(*machine, kFolder)) {
      list.items.push_back({std::move(label), true});
    }
    form->At("Quickroute").checked = quickroute;
    ProtectClients(context, *form, kFolder, kScript);
  }

  // Every section refreshed from the programs, as the next load sees them.
  std::vector<DetectedAccount> Loaded() {
    std::vector<DetectedAccount> loaded;
    for (int n = 1;; ++n) {
      DetectedAccount account;
      if (!ReadAccountSection(context, kFolder, account, n)) return loaded;
      loaded.push_back(account);
    }
  }

  std::string WsIni() { return machine.ReadFile(std::string(kFolder) + "WS.INI"); }
  std::string Hosts() { return machine.ReadFile(machine->HostsFilePath()); }

  std::unique_ptr<ui::Form> form;
  platform::LibraryLoader loader;
  LibraryMailboxReader reader;
};

}  // namespace nimbra::detect::testing
