#include "detect/account_sections.h"

#include <algorithm>

#include "detect/address_mappings.h"
#include "detect/client_search.h"

namespace nimbra::detect {

std::string AccountSectionName(int n) {
  return "UNINSTALL" + std::to_string(n);
}

platform::ProfileFile WsIniFile(platform::Machine& machine, const std::string& folder) {
  const auto host = machine.HostPath(folder + "WS.INI");
  if (!host) throw platform::FileError("no drive for " + folder + "WS.INI");
  return platform::ProfileFile(*host);
}

bool LoadAccountSection(platform::ProfileFile& wsIni, int n, DetectedAccount& record) {
  const std::string section = AccountSectionName(n);
  const std::string software = wsIni.ReadString(section, "Software", "");
  if (software.empty()) return false;
  auto text = [&](const char* key) { return wsIni.ReadString(section, key, ""); };
  record.software = software;
  record.location = text("INIFile");
  record.name = text("Name");
  record.address = text("Reply_Add");
  record.pop3Server = text("OrgPOP3");
  record.pop3Port = text("OrgPOP3Port");
  record.imapServer = text("OrgIMAP");
  record.imapPort = text("OrgIMAPPort");
  record.smtpServer = text("OrgSMTP");
  record.smtpPort = text("OrgSMTPPort");
  record.persona = text("Persona");
  record.clientType = static_cast<std::uint8_t>(wsIni.ReadInteger(section, "DetectType", 0));
  record.subClient = wsIni.ReadInteger(section, "SubClient", 0);
  record.active = wsIni.ReadBool(section, "Active", false);
  record.isClient = wsIni.ReadBool(section, "IsClient", true);
  return true;
}

bool ReadAccountSection(DetectContext& context, const std::string& folder, DetectedAccount& record,
                        int n) {
  platform::ProfileFile wsIni = WsIniFile(context.machine, folder);
  if (!LoadAccountSection(wsIni, n, record)) return false;
  // The client's settings are read into a copy: a refresh that fails half
  // way leaves what WS.INI holds.
  DetectedAccount refreshed = record;
  try {
    RefreshAccount(context, refreshed);
    record = refreshed;
  } catch (const std::exception&) {
  }
  RefreshMappings(context.machine, folder, record);
  return true;
}

bool WriteAccountSection(platform::Machine& machine, const std::string& folder,
                         DetectedAccount& record, int n) {
  // An empty port is the protocol's default, as for the mapping fields.
  const auto isProxy = [&](const std::string& server, const std::string& port,
                           std::string_view defaultPort) {
    return !server.empty() &&
           IsProxyAddress(machine, folder, server, port.empty() ? defaultPort : port);
  };
  if (isProxy(record.pop3Server, record.pop3Port, kDefaultPop3Port) ||
      isProxy(record.smtpServer, record.smtpPort, kDefaultSmtpPort) ||
      isProxy(record.imapServer, record.imapPort, kDefaultImapPort)) {
    return false;
  }
  if (record.smtpServer.empty()) record.smtpServer = record.pop3Server;
  const std::string section = AccountSectionName(n);
  const auto writeAll = [&](auto& ini) {
    ini.WriteString(section, "Software", record.software);
    ini.WriteString(section, "INIFile", record.location);
    ini.WriteString(section, "Name", record.name);
    ini.WriteString(section, "Reply_Add", record.address);
    ini.WriteString(section, "OrgPOP3", record.pop3Server);
    ini.WriteString(section, "OrgPOP3Port", record.pop3Port);
    ini.WriteString(section, "OrgIMAP", record.imapServer);
    ini.WriteString(section, "OrgIMAPPort", record.imapPort);
    ini.WriteString(section, "OrgSMTP", record.smtpServer);
    ini.WriteString(section, "OrgSMTPPort", record.smtpPort);
    ini.WriteString(section, "Persona", record.persona);
    ini.WriteInteger(section, "DetectType", record.clientType);
    ini.WriteInteger(section, "SubClient", record.subClient);
    ini.WriteBool(section, "Active", record.active);
    if (!record.isClient) ini.WriteBool(section, "IsClient", false);
  };
  // A value the file cannot hold (a line break) is refused here, before
  // anything reaches the file, so that no section is left half written.
  platform::ProfileText probe;
  writeAll(probe);
  machine.ForceDirectories(folder);
  platform::ProfileFile wsIni = WsIniFile(machine, folder);
  platform::ProfileBatch batch(wsIni);
  writeAll(wsIni);
  batch.Commit();
  return true;
}

bool IsDuplicateAccount(const std::vector<DetectedAccount>& saved, const DetectedAccount& record) {
  return std::any_of(saved.begin(), saved.end(), [&](const DetectedAccount& s) {
    return s.location.str() == record.location.str() && s.clientType == record.clientType;
  });
}

std::vector<std::string> AccountSectionLabels(platform::Machine& machine,
                                              const std::string& folder) {
  std::vector<std::string> labels;
  platform::ProfileFile wsIni = WsIniFile(machine, folder);
  DetectedAccount record;
  for (int n = 1; LoadAccountSection(wsIni, n, record); ++n) {
    labels.push_back(record.name.empty() ? record.software.str()
                                         : record.software + " (" + record.name + ")");
  }
  return labels;
}

}  // namespace nimbra::detect
