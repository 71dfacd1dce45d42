// The readers of the e-mail programs whose settings lie in files.

#include "detect/file_readers.h"

#include "detect/tests/detect_fixture.h"

namespace nimbra::detect::testing {
namespace {

class FileReaderTest : public DetectTest {
 public:
  std::vector<DetectedAccount> found;
};

TEST_F(FileReaderTest, EudoraMainSettingsAndPersonalities) {
  // Odd case, comments, blank lines, LF line ends and a Windows-1252 name.
  machine.PutFile("C:\\Eudora\\Eudora.ini",
                  "; Eudora settings\n[settings]\n\nrealname=J\xf6rg M\xfcller\n"
                  "UsesIMAP=1\nIMAPAccount=joerg@imap.example.de\n"
                  "ReturnAddress=\n\n[Personalities]\nPersona0=Work\nPersona1=Home\n"
                  "Persona3=Skipped\n[WORK]\nReturnAddress=j@work.example\n"
                  "SMTPServer=smtp.work.example\nPOPServer=pop.work.example\n[Home]\n");
  ReadEudoraFile(context, "C:\\Eudora\\Eudora.ini", found);
  // No return address and no POP account: no main account; IMAP with the
  // host of the IMAP account is the incoming and the outgoing server.
  ASSERT_EQ(found.size(), 1u);
  const DetectedAccount& work = found[0];
  EXPECT_EQ(work.clientType, client::kEudoraPersonality);
  EXPECT_EQ(work.persona.str(), "Work");
  EXPECT_EQ(work.software.str(), "Eudora");
  EXPECT_EQ(work.location.str(), "C:\\Eudora\\Eudora.ini");
  EXPECT_EQ(work.name.str(), "No Name");
  EXPECT_EQ(work.address.str(), "j@work.example");
  EXPECT_EQ(work.pop3Server.str(), "pop.work.example");
  EXPECT_EQ(work.smtpServer.str(), "smtp.work.example");
  // "Home" has no address ("ERROR") and is dropped; Persona3 is never reached.

  machine.PutFile(
      "C:\\Eudora\\Eudora.ini",
      "[Settings]\r\nRealName=J\xf6rg\r\nUsesIMAP=1\r\nIMAPAccount=joerg@imap.example.de"
      "\r\nPOPAccount=joerg@pop.example.de\r\n");
  found.clear();
  ReadEudoraFile(context, "C:\\Eudora\\Eudora.ini", found);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].clientType, client::kEudora);
  EXPECT_EQ(found[0].name.str(), "J\xf6rg");
  EXPECT_EQ(found[0].address.str(), "joerg@pop.example.de");
  EXPECT_EQ(found[0].imapServer.str(), "imap.example.de");
  EXPECT_EQ(found[0].smtpServer.str(), "imap.example.de");
  EXPECT_EQ(found[0].pop3Server.str(), "");
}

TEST_F(FileReaderTest, EudoraValuesLongerThanTheirFieldsAreCut) {
  const std::string host(300, 'h');
  machine.PutFile("C:\\E\\eudora.ini", "[Settings]\r\nReturnAddress=" + std::string(200, 'a') +
                                           "@x\r\nPOPServer=" + host + "\r\nSMTPServer=\r\n");
  ReadEudoraFile(context, "C:\\E\\eudora.ini", found);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].address.size(), 120u);
  EXPECT_EQ(found[0].pop3Server.str(), std::string(80, 'h'));
  EXPECT_EQ(found[0].smtpServer.str(), "");  // present but empty: not "ERROR"
}

TEST_F(FileReaderTest, EudoraRefreshFindsThePersonalityByName) {
  machine.PutFile("C:\\E\\Eudora.ini",
                  "[Settings]\r\nReturnAddress=a@x\r\n[Personalities]\r\nPersona0=One\r\n"
                  "Persona1=Two\r\n[Two]\r\nReturnAddress=two@x\r\nPOPServer=pop.two\r\n");
  DetectedAccount saved;
  saved.clientType = client::kEudoraPersonality;
  saved.location = "C:\\E\\Eudora.ini";
  saved.persona = "Two";
  saved.address = "old@x";
  RefreshEudora(context, saved);
  EXPECT_EQ(saved.address.str(), "two@x");
  EXPECT_EQ(saved.pop3Server.str(), "pop.two");
  saved.persona = "two";  // exact comparison: not listed, values kept
  saved.address = "kept@x";
  RefreshEudora(context, saved);
  EXPECT_EQ(saved.address.str(), "kept@x");
  // A file that is gone leaves the saved values.
  saved.location = "C:\\Gone\\Eudora.ini";
  saved.clientType = client::kEudora;
  RefreshEudora(context, saved);
  EXPECT_EQ(saved.address.str(), "kept@x");
}

TEST_F(FileReaderTest, CommunicatorPrefsAsTheyAreFoundInTheWild) {
  const std::string longValue(5000, 'v');
  machine.PutFile(
      "C:\\Netscape\\Users\\jo\\prefs.js",
      "// Netscape User Preferences\r\n"
      "// This is a generated file!  Do not edit.\r\n"
      "\r\n"
      "user_pref(\"mail.identity.useremail\", \"jo@example.net\");\r\n"
      "user_pref(\"mail.identity.username\", \"Jo \\\"JJ\\\" Ex\\\\ample\");\n"
      "// user_pref(\"network.hosts.smtp_server\", \"commented.example\");\r\n"
      "/* user_pref(\"network.hosts.pop_server\", \"block.example\");\r\n"
      "   still a comment */ user_pref(\"network.hosts.pop_server\", \"pop.example.net\");\r\n"
      "user_pref(\"network.hosts.smtp_server\", \"old.example\");\r\n"
      "user_pref(\"network.hosts.smtp_server\", \"smtp.example.net\"); // later wins\r\n"
      "user_pref(\"mail.identity.organization\", \"" +
          longValue +
          "\");\r\n"
          "user_pref(\"network.hosts.imap_servers\", \"imap.example.net\");");
  ReadCommunicatorFile(context, "C:\\Netscape\\Users\\jo\\prefs.js", found);
  ASSERT_EQ(found.size(), 1u);
  const DetectedAccount& a = found[0];
  EXPECT_EQ(a.clientType, client::kCommunicator);
  EXPECT_EQ(a.software.str(), "Netscape Communicator");
  EXPECT_EQ(a.location.str(), "C:\\Netscape\\Users\\jo\\prefs.js");
  EXPECT_EQ(a.name.str(), "Jo \"JJ\" Ex\\ample");
  EXPECT_EQ(a.address.str(), "jo@example.net");  // no reply address: the account address
  EXPECT_EQ(a.pop3Server.str(), "pop.example.net");
  EXPECT_EQ(a.smtpServer.str(), "smtp.example.net");
  EXPECT_EQ(a.imapServer.str(), "imap.example.net");
}

TEST_F(FileReaderTest, CommunicatorAccountIsKeptWithoutAnyRecognisedLine) {
  machine.PutFile("C:\\N\\prefs.js", "user_pref(\"browser.startup.homepage\", \"x\");\n");
  ReadCommunicatorFile(context, "C:\\N\\prefs.js", found);
  ReadCommunicatorFile(context, "C:\\N\\missing\\prefs.js", found);  // unreadable: kept too
  ASSERT_EQ(found.size(), 2u);
  EXPECT_TRUE(found[0].smtpServer.empty() && found[0].address.empty() && found[0].name.empty());
  EXPECT_EQ(found[1].software.str(), "Netscape Communicator");

  // Refresh re-reads the file; a reply address now wins.
  machine.PutFile("C:\\N\\prefs.js",
                  "user_pref(\"mail.identity.reply_to\", \"reply@x\");\r\n"
                  "user_pref(\"mail.identity.useremail\", \"user@x\");\r\n");
  RefreshCommunicator(context, found[0]);
  EXPECT_EQ(found[0].address.str(), "reply@x");
}

TEST_F(FileReaderTest, PegasusFileAndBaseFolder) {
  const std::string ini =
      "[General]\r\nPersonal name=\r\n"
      "[Pegasus Mail for Windows - Run Info]\r\nInternal username=jo\r\n"
      "[Pegasus Mail for Windows - built-in TCP/IP Mail]\r\n"
      "Alternative From: field for message=jo@example.net\r\n"
      "Host where POP3 mail account is located=pop.example.net\r\n"
      "TCP/IP server port=110\r\n";
  machine.PutFile("C:\\PMAIL\\PMail.ini", ini);
  ReadPegasusFile(context, "C:\\PMAIL\\PMail.ini", found);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].clientType, client::kPegasus);
  EXPECT_EQ(found[0].name.str(), "jo");
  EXPECT_EQ(found[0].software.str(), "Pegasus Mail Client (jo)");
  EXPECT_EQ(found[0].address.str(), "jo@example.net");
  EXPECT_EQ(found[0].pop3Server.str(), "pop.example.net");
  EXPECT_EQ(found[0].pop3Port.str(), "110");
  EXPECT_EQ(found[0].smtpServer.str(), "ERROR");

  ReadPegasusBaseFolder(context, found);
  EXPECT_EQ(found.size(), 1u);  // no registry key
  UserKey("Software\\Pegasus Mail\\BaseDir").WriteString("", "C:\\PMAIL");
  ReadPegasusBaseFolder(context, found);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].location.str(), "C:\\PMAIL\\PMAIL.INI");
  EXPECT_EQ(found[1].name.str(), "");  // no user-name fallback
  EXPECT_EQ(found[1].software.str(), "Pegasus Mail Client + ()");
  EXPECT_EQ(found[1].pop3Port.str(), "");  // and no port

  RefreshPegasus(context, found[1]);
  EXPECT_EQ(found[1].software.str(), "Pegasus Mail Client (jo)");
}

TEST_F(FileReaderTest, TurnpikeUserFiles) {
  const std::string connect =
      "[MAIL WINSOCK]\r\nIncoming=POP3\r\nServer=pop.example.net\r\nGateway=smtp.example.net\r\n";
  machine.PutFile("C:\\Turnpike\\Connect.ini", connect);
  machine.PutFile("C:\\Turnpike\\User001\\Turnpike.ini",
                  "[DESKMAIL Mailbox]\r\nUserName=Jo\r\nReplyTo=Jo Example <jo@example.net>\r\n");
  machine.PutFile("C:\\Turnpike\\user002\\turnpike.ini", "[DESKMAIL Mailbox]\r\nReplyTo=al@x\r\n");
  machine.PutFile("C:\\Turnpike\\User004\\Turnpike.ini", "[DESKMAIL Mailbox]\r\n");
  ReadTurnpikeFile(context, "C:\\Turnpike\\Connect.ini", found);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].clientType, client::kTurnpike);
  EXPECT_EQ(found[0].software.str(), "TurnPike Mail Client");
  EXPECT_EQ(found[0].location.str(), "C:\\Turnpike\\Connect.ini");
  EXPECT_EQ(found[0].persona.str(), "C:\\Turnpike\\User001\\Turnpike.ini");
  EXPECT_EQ(found[0].name.str(), "Jo");
  EXPECT_EQ(found[0].address.str(), "jo@example.net");
  EXPECT_EQ(found[1].name.str(), "No Name");
  EXPECT_EQ(found[1].address.str(), "al@x");
  EXPECT_EQ(found[1].pop3Server.str(), "pop.example.net");
  EXPECT_EQ(found[1].smtpServer.str(), "smtp.example.net");

  // Only "POP3" exactly; and without User001 nothing, even with User002.
  found.clear();
  machine.PutFile("C:\\T2\\Connect.ini", "[MAIL WINSOCK]\r\nIncoming=pop3\r\n");
  machine.PutFile("C:\\T2\\User001\\Turnpike.ini", "");
  machine.PutFile("C:\\T3\\Connect.ini", connect);
  machine.PutFile("C:\\T3\\User002\\Turnpike.ini", "");
  ReadTurnpikeFile(context, "C:\\T2\\Connect.ini", found);
  ReadTurnpikeFile(context, "C:\\T3\\Connect.ini", found);
  EXPECT_TRUE(found.empty());
}

TEST(TurnpikeAddress, DisplayNameAndBracketsAreRemoved) {
  EXPECT_EQ(CleanTurnpikeAddress("Jo Example <jo@example.net>"), "jo@example.net");
  EXPECT_EQ(CleanTurnpikeAddress("jo@example.net"), "jo@example.net");
  EXPECT_EQ(CleanTurnpikeAddress("<jo@example.net"), "jo@example.net");
  EXPECT_EQ(CleanTurnpikeAddress("jo@example.net> (Jo)"), "jo@example.net");
  EXPECT_EQ(CleanTurnpikeAddress("a <b <c> d>"), "b <c");
  EXPECT_EQ(CleanTurnpikeAddress("><"), "");
  EXPECT_EQ(CleanTurnpikeAddress(""), "");
}

}  // namespace
}  // namespace nimbra::detect::testing
