#pragma once

// Settings files of two e-mail programs as a user's machine holds them:
// Eudora with a second personality and Pegasus on a non-standard POP3 port.
// Tests of the protection and of its undo start from the same accounts.

namespace nimbra::testsupport {

inline constexpr const char* kEudoraSettings =
    "; Eudora settings\r\n[Settings]\r\nRealName=Eu\r\n"
    "ReturnAddress=eu@example.net\r\nPOPAccount=eu@pop.eu.example\r\n"
    "POPServer=pop.eu.example\r\nSMTPServer=smtp.eu.example\r\n"
    "[Personalities]\r\nPersona0=Work\r\n"
    "[Work]\r\nReturnAddress=work@example.com\r\nPOPAccount=w@pop.work.example\r\n"
    "SMTPServer=smtp.work.example\r\n";

inline constexpr const char* kPegasusSettings =
    "[General]\r\nPersonal name=Peg\r\n"
    "[pegasus Mail for Windows - built-in TCP/IP Mail]\r\n"
    "Alternative From: field for message=peg@example.net\r\n"
    "Host where POP3 mail account is located=pop.peg.example\r\n"
    "TCP/IP server port=995\r\n"
    "SMTP relay host for outgoing mail=smtp.peg.example\r\n";

}  // namespace nimbra::testsupport
