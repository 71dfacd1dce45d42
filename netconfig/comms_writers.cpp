#include "netconfig/comms_writers.h"

#include "core/strings.h"
#include "netconfig/gateway_report.h"
#include "platform/files/path.h"
#include "platform/profile/profile_file.h"

namespace nimbra::netconfig {

bool MachineSink::WriteIni(std::string_view file, std::string_view section, std::string_view key,
                           std::string_view value) {
  try {
    machine_.ForceDirectories(platform::ExtractFilePath(file));
    const auto host = machine_.HostPath(file);
    if (!host) return false;
    platform::ProfileFile(*host).WriteString(section, key, value);
    return true;
  } catch (const platform::PlatformError&) {
    return false;
  }
}

bool MachineSink::WriteFile(std::string_view path, std::string_view content) {
  try {
    machine_.ForceDirectories(platform::ExtractFilePath(path));
    machine_.WriteFile(path, content);
    return true;
  } catch (const platform::PlatformError&) {
    return false;
  }
}

std::string ServerConfigFolder(const ui::Form& form) {
  return platform::ExtractFilePath(form.At("SoftwareLocation").text);
}

namespace {

constexpr std::string_view kFalse = "0";
constexpr std::string_view kTrue = "1";
constexpr std::string_view kEveryone = "0.0.0.0";

// The writes of one writer into WS.INI; every key is tried, and the first
// failure is remembered.
class WsIni {
 public:
  WsIni(setup::WizardContext& wizard, ConfigSink& sink)
      : wizard_(wizard), sink_(sink), file_(ServerConfigFolder(wizard.form) + "WS.INI") {}

  void Put(std::string_view section, std::string_view key, std::string_view value) {
    if (!sink_.WriteIni(file_, section, key, value)) ok_ = false;
  }
  bool Ok() const { return ok_; }
  void Fail() { ok_ = false; }
  std::string Text(std::string_view control) const { return wizard_.form.At(control).text; }

  void Manager(bool adminView) {
    Put("NMGR", "StandardView", kFalse);
    const int type = wizard_.settings.InstallType;
    if (adminView && (type == 6 || type == 7 || type == 8)) Put("NMGR", "AdminView", kTrue);
  }
  // "WORKSTATION" of the editions that listen for SMTP alone.
  void SmtpOnlyWorkstation(bool gateway) {
    const std::string_view flag = gateway ? kTrue : kFalse;
    Put("WORKSTATION", "SMTP", "25");
    Put("WORKSTATION", "POP3", "");
    Put("WORKSTATION", "IMAP", "");
    Put("WORKSTATION", "Halvern", kFalse);
    Put("WORKSTATION", "EnableSMTP", flag);
    Put("WORKSTATION", "SMTPGateway", flag);
    Put("WORKSTATION", "EnablePOP3", kFalse);
    Put("WORKSTATION", "EnableIMAP", kFalse);
    Put("WORKSTATION", "COMMTYPE", "3");
    Put("WORKSTATION", "SHARE", kTrue);
    Put("WORKSTATION", "TRAYMENU", wizard_.settings.TrayMenu);
    Put("WorkStation", "ZQAUTHTEXT", kFalse);
  }
  void GoodRoute() {
    Put("GOODROUTE", "AVAILABLE", "1");
    Put("GOODROUTE", "SERVER", kDefaultGoodRoute);
    Put("GOODROUTE", "PORT", "25");
    Put("GOODROUTE", "SENDER", Text("PrimeEmail"));
  }
  void Organisation() { Put("Defaults", "Organisation", Text("GroupName")); }
  void Servers() {
    Put("DNS", "Server1", Text("DNS1"));
    Put("DNS", "Server2", Text("DNS2"));
    const setup::InstallSettings& s = wizard_.settings;
    if (!s.KeyServer1.empty()) Put("KeyServer", "Server1", s.KeyServer1);
    if (!s.KeyServer2.empty()) Put("KeyServer", "Server2", s.KeyServer2);
  }
  // The proxy runs as the NT service when the installer says so or the
  // wizard is the service installer itself.
  void Service() {
    if (wizard_.ServiceFlavour()) {
      Put("WORKSTATION", "SERVICE", "NT");
    }
  }
  void AllowEveryone() { Put("ACCESS ALLOWED", "0.0.0.0:0.0.0.0", "ALLOW"); }

 private:
  setup::WizardContext& wizard_;
  ConfigSink& sink_;
  std::string file_;
  bool ok_ = true;
};

constexpr const char* kProtocols[] = {"SMTP", "POP3", "IMAP"};

}  // namespace

bool NetworkComms(setup::WizardContext& wizard, ConfigSink& sink) {
  WsIni ini(wizard, sink);
  const ui::Form& f = wizard.form;
  const std::string account = "UNINSTALL1";
  ini.Put(account, "Software", "NetWork Server");
  ini.Put(account, "INIFile", "N/A");
  ini.Put(account, "Name", ini.Text("RegName"));
  ini.Put(account, "Reply_Add", ini.Text("RegAddress"));
  for (const char* p : {"POP3", "IMAP", "SMTP"}) {
    const std::string protocol = p;
    ini.Put(account, "Org" + protocol, ini.Text("Net" + protocol));
    ini.Put(account, "Org" + protocol + "Port", ini.Text("Net" + protocol + "Port"));
  }
  ini.Put(account, "Persona", "");
  ini.Put(account, "DetectType", "99");
  ini.Put(account, "SubClient", "0");
  ini.Put(account, "Active", kTrue);
  ini.Put(account, "IsClient", kFalse);

  ini.Manager(true);
  ini.Put("WORKSTATION", "INSTALLED", wizard.settings.ProductType);
  for (const char* p : kProtocols) {
    const std::string protocol = p;
    ini.Put("WORKSTATION", protocol, ini.Text("Nbr" + protocol + "Port"));
  }
  for (const char* p : kProtocols) {
    const std::string protocol = p;
    ini.Put("WORKSTATION", "Enable" + protocol, f.At(protocol).checked ? kTrue : kFalse);
  }
  ini.Put("WORKSTATION", "SMTPGateway", kFalse);
  ini.Put("WORKSTATION", "COMMTYPE", "3");
  ini.Put("WORKSTATION", "SHARE", kTrue);
  ini.Put("WORKSTATION", "TRAYMENU", wizard.settings.TrayMenu);
  ini.Put("WorkStation", "ZQAUTHTEXT", kFalse);
  ini.GoodRoute();
  ini.Organisation();
  ini.Servers();
  ini.Service();

  for (const char* p : kProtocols) {
    const std::string protocol = p;
    if (!f.At(protocol).checked) continue;
    const std::string address = ini.Text("Nbr" + protocol);
    const std::string listen = address + ":" + ini.Text("Nbr" + protocol + "Port");
    const std::string forward =
        ini.Text("Net" + protocol) + ":" + ini.Text("Net" + protocol + "Port");
    ini.Put("OUTMAPSERVER", listen, forward);
    ini.Put("INMAPSERVER", forward, listen);
    if (address != kEveryone) {
      ini.Put("ACCESS ALLOWED", address + ":255.255.255.255", "ALLOW");
    } else {
      ini.AllowEveryone();
    }
  }
  return ini.Ok();
}

bool GatewayComms(setup::WizardContext& wizard, ConfigSink& sink) {
  WsIni ini(wizard, sink);
  try {
    const GatewayPlan plan = ReadGatewayPlan(wizard.form);
    ini.Manager(true);
    ini.SmtpOnlyWorkstation(true);
    ini.GoodRoute();
    ini.Organisation();
    ini.Servers();
    ini.Service();

    std::string forward;
    std::string sendType = "8";
    if (plan.relay != RelayChoice::DnsOnly) {
      forward = plan.relayAddress + ":" + plan.relayPort;
      if (plan.relay == RelayChoice::RelayOnly) sendType = "2";
    }
    for (const std::string& own : plan.ownAddresses) {
      for (const std::string& sender : plan.senders) {
        const std::string route = SenderRoute(sender, own);
        if (!forward.empty()) ini.Put("INMAPSERVER", forward, route);
        ini.Put("OUTMAPSERVER", route, forward);
        ini.Put("SendType", route, sendType);
      }
    }
    const std::string loopback = "127.0.0.1:25";
    ini.Put("OUTMAPSERVER", loopback, forward);
    if (!forward.empty()) ini.Put("INMAPSERVER", forward, loopback);
    ini.Put("SendType", loopback, sendType);
    ini.AllowEveryone();
    const std::string internal = plan.internalAddress + ":" + plan.internalPort;
    for (const std::string& own : plan.ownAddresses) {
      ini.Put("OUTMAPSERVER", own + ":25", internal);
      ini.Put("INMAPSERVER", internal, own + ":25");
      ini.Put("SendType", own + ":25", "3");
    }
  } catch (const std::exception&) {
    ini.Fail();  // the report below is saved all the same
  }
  std::string report;
  for (const ui::ListItem& line : wizard.form.At("GateConfig").items) report += line.text + "\r\n";
  if (!sink.WriteFile(ServerConfigFolder(wizard.form) + "Gateway-Config.txt", report)) ini.Fail();
  return ini.Ok();
}

bool KeyServerComms(setup::WizardContext& wizard, ConfigSink& sink) {
  WsIni ini(wizard, sink);
  ini.Manager(true);
  ini.SmtpOnlyWorkstation(true);
  ini.GoodRoute();
  ini.Servers();
  ini.Service();
  ini.AllowEveryone();
  for (const ui::ListItem& own : wizard.form.At("NBR_IPList").items) {
    ini.Put("OUTMAPSERVER", own.text + ":25", "");
    ini.Put("SendType", own.text + ":25", "32");
  }
  return ini.Ok();
}

bool DatabaseComms(setup::WizardContext& wizard, ConfigSink& sink) {
  WsIni ini(wizard, sink);
  ini.Manager(false);
  ini.SmtpOnlyWorkstation(false);
  ini.Servers();
  return ini.Ok();
}

}  // namespace nimbra::netconfig
