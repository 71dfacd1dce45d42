// The configuration files of the installation: WS.INI's base content, the
// users file, the key manager's defaults, local.dns and the conversion of an
// older users file.

#include <cstdio>

#include "core/datetime.h"
#include "core/strings.h"
#include "keys/clock.h"
#include "keys/nimbra_crypto.h"
#include "keys/policy_store.h"
#include "netconfig/comms_writers.h"
#include "platform/files/path.h"
#include "platform/profile/profile_file.h"
#include "platform/profile/profile_text.h"
#include "setup/install_ops.h"
#include "setup/tsetup_form.h"
#include "ui/questions.h"

namespace nimbra::setup {

namespace {

// A location's file with doubled backslashes collapsed as every location is.
std::string LocationFile(const std::string& location, std::string_view name) {
  std::string path = platform::NormalizeLocation(location + "\\" + std::string(name));
  path.pop_back();  // the "\" the normalisation appends
  return path;
}

std::string Level(int digits, int level, std::string_view name) {
  char text[16];
  std::snprintf(text, sizeof text, "%.*d", digits, level);
  return text + std::string(name);
}

}  // namespace

void TSetupForm::CreateBaseFile() {
  InstallOps& ops = Install();
  ui::Form& f = *form_;
  const std::string program = f.At("SoftwareLocation").text;
  const std::string ws = platform::JoinWindowsPath(program, "WS.INI");
  const std::string user = f.At("UserName").text;
  const std::string address = f.At("PrimeEmail").text;
  const int type = settings_.InstallType;
  auto put = [&](std::string_view section, std::string_view key, std::string_view value) {
    ops.WriteIni(ws, section, key, value);
  };
  put("WORKSTATION", "INSTALLED", settings_.ProductType);
  put("WORKSTATION", "NoofClients", "0");
  put("WORKSTATION", "DefaultUser", user);
  put("WORKSTATION", "SMTP", f.At("SMTPPort").text);
  put("WORKSTATION", "POP3", f.At("POP3Port").text);
  put("WORKSTATION", "IMAP", f.At("IMAPPort").text);
  put("WORKSTATION", "EnableSMTP", "1");
  put("WORKSTATION", "SMTPGateway", "0");
  put("WORKSTATION", "EnablePOP3", "1");
  put("WORKSTATION", "EnableIMAP", "1");
  put("WORKSTATION", "MSGFOLDER", platform::JoinWindowsPath(program, "Messages\\"));
  put("WORKSTATION", "COMMTYPE", "3");
  put("WORKSTATION", "SHARE", "1");
  put("WORKSTATION", "TRAYMENU", settings_.TrayMenu);
  if (settings_.HelpFile != "help.hlp") put("WORKSTATION", "HELP", settings_.HelpFile);
  put("WORKSTATION", "UsersFile", LocationFile(f.At("DataLocation").text, "Users.ini"));
  put("WORKSTATION", "SecondUsers", LocationFile(f.At("SharedDataLocation").text, "Users.ini"));
  if (settings_.AsService) put("WORKSTATION", "SERVICE", "NT");
  if (type == 6 || type == 7 || type == 8) put("NMGR", "AdminView", "1");
  put("MailViewer", "UseMAPI", "0");
  put("MailViewer", "EncryptMAPI", "0");
  put("GOODROUTE", "AVAILABLE", "1");
  put("GOODROUTE", "SERVER", netconfig::kDefaultGoodRoute);
  put("GOODROUTE", "PORT", "25");
  put("GOODROUTE", "SENDER", address);
  put("Defaults", "Organisation", f.At("GroupName").text);
  put("DESKTOP", "ExpandHeight", "390");
  put("DNS", "Server1", f.At("DNS1").text);
  put("DNS", "Server2", f.At("DNS2").text);
  if (!settings_.KeyServer1.empty()) put("KeyServer", "Server1", settings_.KeyServer1);
  if (!settings_.KeyServer2.empty()) put("KeyServer", "Server2", settings_.KeyServer2);
  if (type != 3 && type != 4) {
    put("ACCESS ALLOWED", "127.0.1.0:255.255.255.0", "ALLOW");
    put("ACCESS ALLOWED", "127.0.2.0:255.255.255.0", "ALLOW");
  }
  settings_.UserNameSaved = user;
  WriteUsersFile();
}

void TSetupForm::WriteUsersFile() {
  ui::Form& f = *form_;
  const int type = settings_.InstallType;
  if (type == 5 || type == 8 || settings_.JoinExistingDatabase) return;
  InstallOps& ops = Install();
  const std::string data = f.At("DataLocation").text;
  const std::string users = platform::JoinWindowsPath(data, "Users.ini");
  const std::string user = f.At("UserName").text;
  const std::string password = f.At("NewPass").text;
  const std::string tables =
      platform::JoinWindowsPath(f.At("SoftwareLocation").text, "PowerTables");
  auto logOn = [&](keys::TNimbraMGR& manager) {
    keys::LogonRecord record{user.substr(0, 80), password.substr(0, 80), std::nullopt};
    manager.Logon(record);
    manager.SetTableDirectory(tables);
  };

  // A users file the interrupted installation being resumed wrote is its
  // own: kept when it was complete (its database passwords protect the keys
  // made since), else written again, and never asked about.
  const InstallJournal& journal = ops.Journal();
  bool ours = false;
  if (journal.Resumed()) {
    for (const auto& fields : journal.DoneBefore("USERSFILE")) {
      if (!fields.empty() && SameText(fields[0], users) && machine_.FileExists(users)) {
        KeyManager().Logoff();
        logOn(RenewKeyManager());
        return;
      }
    }
    ours = journal.WroteBefore(users);
  }
  if (machine_.FileExists(users) && !ours) {
    const bool overwrite = ui_.AskYesNo(
        {std::string(ui::q::OverwriteDataFiles),
         "Setup is about to overwrite existing Data files with this installation.\r\nClick Yes "
         "to Overwrite files or Click No to use existing database",
         context_->MessageCaption()});
    if (!overwrite) {
      KeyManager().Logoff();
      logOn(RenewKeyManager());
      return;
    }
    // Every file directly in the data location goes; its folders stay.
    for (const auto& entry : machine_.ListDirectory(data)) {
      if (!entry.is_directory) ops.DeleteFile(platform::JoinWindowsPath(data, entry.name));
    }
  }

  keys::TNimbraMGR& manager = KeyManager();
  const std::string sealed = manager.SealUserPassword(password, context_->mouseSamples);
  const std::string address = f.At("PrimeEmail").text;
  const bool service = type == 3 || type == 4;
  auto put = [&](std::string_view section, std::string_view key, std::string_view value) {
    ops.WriteIni(users, section, key, value);
  };
  put("FileVersion", "Format", "4");
  put("FileVersion", "Name", "Personal");
  put("Users", "Administrator", sealed);
  put("Users", user, sealed);
  if (service) {
    put("Users", keys::kServiceUser,
        manager.SealUserPassword(keys::kNilPassphrase, context_->mouseSamples));
  }
  for (const char* key : {"EscrowKeyFile", "EscrowDirFile", "KnownKeysFile"}) {
    put("GROUPFILES", key, "");
  }
  for (const std::string& section : {std::string("Default"), std::string("Administrator"), user}) {
    put(section, "POLICY", "Default");
    put(section, "DefaultEmail", address);
  }
  put(user, "USERLEVEL", manager.SealText(Level(5, 65535, user)));
  if (service) {
    put(keys::kServiceUser, "POLICY", "Default");
    put(keys::kServiceUser, "DefaultEmail", address);
    put(keys::kServiceUser, "HIDEPROG", "1");
    put(keys::kServiceUser, "USERLEVEL", manager.SealText(Level(3, 0, keys::kServiceUser)));
  }
  ops.Note("USERSFILE", {users});
  manager.Logoff();
  logOn(manager);
}

void TSetupForm::SaveDefaults() {
  try {
    AddKeyManagerDefaults();
  } catch (const std::exception&) {
    // The defaults are a convenience; the installation goes on without them.
  }
  WriteLocalDns();
  FormatUsersFile();
}

void TSetupForm::AddKeyManagerDefaults() {
  // The component's store of its users file, written through the journal.
  const std::string users = KeyManager().UsersFile();
  const auto host = users.empty() ? std::nullopt : machine_.HostPath(users);
  if (!host) return;
  InstallOps& ops = Install();
  keys::PolicyStore store(
      host->string(), [&](const std::string& section, const std::string& key,
                          const std::string& value) { ops.WriteIni(users, section, key, value); });
  // A policy or rule an interrupted installation began to write may be
  // incomplete: until the journal records the defaults as written, a
  // resumed installation writes them again whole.
  const InstallJournal& journal = ops.Journal();
  bool rewrite = journal.Resumed();
  for (const auto& fields : journal.DoneBefore("DEFAULTS"))
    rewrite = rewrite && !(!fields.empty() && SameText(fields[0], users));
  if (rewrite || !store.FindPolicy("Default")) {
    keys::Policy policy;
    policy.name = "Default";
    store.AddPolicy(policy);
  }
  const int type = settings_.InstallType;
  if (settings_.PreviousSequence < "04.00.00" && type != 0 && type != 5 &&
      (rewrite || !store.FindMailRule("*@*"))) {
    keys::MailRule rule;
    rule.pattern = "*@*";
    rule.ruleName = "CTL Content";
    rule.inPolicyFile = "DefaultIN.csp";
    rule.outPolicyFile = "DefaultOUT.csp";
    rule.timeStamp = FormatDateTime("ssmmnndd", keys::Now(), FormatSettings{});
    store.AddMailRule(rule);
  }
  ops.Note("DEFAULTS", {users});
}

void TSetupForm::WriteLocalDns() {
  InstallOps& ops = Install();
  const std::string dns =
      platform::JoinWindowsPath(form_->At("SoftwareLocation").text, "local.dns");
  const std::string script =
      platform::WithTrailingBackslash(context_->SetupDir()) + settings_.ScriptName;
  const auto host = machine_.HostPath(script);
  if (!host) return;
  platform::ProfileFile file(*host);
  for (const auto& [from, to] : {std::pair{"Static-MX", "STATIC-MX"}, {"Static-A", "STATIC-A"}}) {
    std::vector<std::string> entries;
    try {
      entries = file.SectionValues(from);
    } catch (const platform::PlatformError&) {
      return;  // an unreadable script gives no static entries
    }
    for (const auto& entry : entries) {
      const std::size_t eq = entry.find('=');
      if (eq == std::string::npos) continue;
      ops.WriteIni(dns, to, entry.substr(0, eq), entry.substr(eq + 1, 200));
    }
  }
}

void TSetupForm::FormatUsersFile() {
  InstallOps& ops = Install();
  keys::TNimbraMGR& manager = KeyManager();
  const std::string users = manager.UsersFile();
  const auto host = users.empty() ? std::nullopt : machine_.HostPath(users);
  if (!host) return;
  try {
    platform::ProfileFile file(*host);
    if (file.ReadString("FileVersion", "Format", "3") != "4") {
      ops.WriteIni(users, "FileVersion", "Format", "4");
      ops.WriteIni(users, "FileVersion", "Name", "Personal");
      for (const auto& name : file.KeyNames("Users")) {
        ops.WriteIni(users, name, "USERLEVEL", manager.SealText(Level(5, 65535, name)));
        for (const char* key :
             {"MYKEYS", "PEOPLE", "AUTH", "KNOWNKEYS", "SETTINGS", "PERSONALDB", "SHAREDDB"}) {
          ops.DeleteIni(users, name, key);
        }
      }
    }
    const std::string ws = manager.WsIni();
    const std::string setupWs = platform::JoinWindowsPath(context_->SetupDir(), "WS.INI");
    const auto wsHost = ws.empty() ? std::nullopt : machine_.HostPath(ws);
    if (!wsHost || AnsiCompareText(machine_.FullPath(ws), machine_.FullPath(setupWs)) == 0) return;
    platform::ProfileFile wsFile(*wsHost);
    if (wsFile.ReadString("WORKSTATION", "UsersFile", "").empty()) {
      ops.WriteIni(ws, "WORKSTATION", "UsersFile", users);
    }
    if (wsFile.ReadString("WORKSTATION", "SecondUsers", "").empty() &&
        !manager.SharedUsersFile().empty()) {
      ops.WriteIni(ws, "WORKSTATION", "SecondUsers",
                   platform::ExtractFilePath(manager.SharedUsersFile()) + "users.ini");
    }
  } catch (const platform::PlatformError&) {
    // INI failures are not reported.
  }
}

}  // namespace nimbra::setup
