#include "detect/client_protection.h"

#include "detect/account_sections.h"
#include "detect/address_mappings.h"
#include "detect/client_writers.h"
#include "platform/profile/profile_text.h"

namespace nimbra::detect {

namespace {

// What the form says about how to map.
struct MappingChoice {
  bool quickroute;
  std::string pop3Port, smtpPort, imapPort;
};

// One protocol of an account: its server, port and mapping fields.
template <std::size_t S, std::size_t P, std::size_t M>
struct Protocol {
  FixedText<S>& server;
  FixedText<P>& port;
  FixedText<M>& mapping;
};
template <std::size_t S, std::size_t P, std::size_t M>
Protocol(FixedText<S>&, FixedText<P>&, FixedText<M>&) -> Protocol<S, P, M>;

// A protocol whose program points at a local address already (a second
// protection, or another account of the same settings file protected
// before) gets its real server back in the record, so that the section
// keeps it and the mapping is made again, to the same local address. A
// server the hosts file routes to its Quickroute address is mapped again
// too, so that under Quickroute the program keeps the name.
template <typename P>
void RecoverRealServer(platform::Machine& machine, const std::string& folder,
                       std::string_view defaultPort, P p) {
  if (p.server.empty()) return;
  const std::string_view port = p.port.empty() ? defaultPort : std::string_view(p.port);
  if (IsProxyAddress(machine, folder, p.server, port)) {
    const std::string real = LookUpMapping(machine, folder, "OUTMAPSERVER", p.server, port);
    if (real == kNotMapped) return;
    FixedText<80> realServer = real;
    FixedText<80> realPort;
    SplitHostPort(realServer, realPort);
    p.server = realServer;
    if (!realPort.empty()) p.port = realPort;
    p.mapping = kNotMapped;
  } else if (p.mapping.str().starts_with("127.0.3.")) {
    p.mapping = kNotMapped;
  }
}

template <typename P>
void Map(platform::Machine& machine, const std::string& folder, bool quickroute,
         std::string_view defaultPort, const std::string& proxyPort, P p) {
  if (p.mapping == kNotMapped) {
    p.mapping = MapServer(machine, folder, quickroute, p.server, defaultPort, proxyPort, p.port);
  }
}

}  // namespace

void ProtectClients(DetectContext& context, ui::Form& form, const std::string& folder,
                    const std::string& scriptPath, const ProtectionStep& step) {
  platform::Machine& machine = context.machine;
  const MappingChoice choice{form.At("Quickroute").checked, form.At("POP3Port").text,
                             form.At("SMTPPort").text, form.At("IMAPPort").text};
  const auto run = [&](const std::string& name, bool onDisk, const std::function<void()>& work) {
    if (step) {
      step(name, onDisk, work);
    } else {
      work();
    }
  };
  ui::Control& task = form.At("CurrentTask");
  const std::vector<ui::ListItem> entries = form.At("SoftwareList").items;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].checked) continue;
    const int section = static_cast<int>(i) + 1;
    DetectedAccount account;
    if (!ReadAccountSection(context, folder, account, section)) continue;
    task.text = entries[i].text;
    context.Pump();
    run(AccountSectionName(section), SettingsInFiles(account.clientType), [&] {
      account.active = true;
      const Protocol pop3{account.pop3Server, account.pop3Port, account.pop3Mapping};
      const Protocol smtp{account.smtpServer, account.smtpPort, account.smtpMapping};
      const Protocol imap{account.imapServer, account.imapPort, account.imapMapping};
      RecoverRealServer(machine, folder, kDefaultPop3Port, pop3);
      RecoverRealServer(machine, folder, kDefaultSmtpPort, smtp);
      RecoverRealServer(machine, folder, kDefaultImapPort, imap);
      Map(machine, folder, choice.quickroute, kDefaultPop3Port, choice.pop3Port, pop3);
      Map(machine, folder, choice.quickroute, kDefaultSmtpPort, choice.smtpPort, smtp);
      Map(machine, folder, choice.quickroute, kDefaultImapPort, choice.imapPort, imap);
      WriteClientSettings(context, account, section);
      WriteAccountSection(machine, folder, account, section);
    });
  }
  task.text = "Email Clients Complete";
  if (!choice.quickroute) return;
  // Further server names the installer routes through Quickroute, without
  // any hosts line of their own.
  const auto host = machine.HostPath(scriptPath);
  if (!host || !machine.FileExists(scriptPath)) return;
  const platform::ProfileText script(machine.ReadFile(scriptPath));
  run("Quickroute", true, [&] {
    for (const std::string& name : script.KeyNames("Quickroute")) {
      AllocateQuickrouteAddress(machine, folder, name);
    }
  });
}

bool SettingsInFiles(std::uint8_t clientType) {
  switch (clientType) {
    case client::kEudora:
    case client::kEudoraPersonality:
    case client::kPegasus:
    case client::kCommunicator:
    case client::kTurnpike:
      return true;
    default:
      return false;
  }
}

bool WriteClientSettings(DetectContext& context, DetectedAccount& account, int section) {
  account.active = true;
  switch (account.clientType) {
    case client::kNavigator:
      WriteNavigator(context, account);
      break;
    case client::kExchange:
      WriteExchange(context, account);
      break;
    case client::kEudora:
    case client::kEudoraPersonality:
      WriteEudora(context, account);
      break;
    case client::kPegasus:
      WritePegasus(context, account);
      break;
    case client::kCommunicator:
      WriteCommunicator(context, account);
      break;
    case client::kInternetMail:
      WriteInternetMail(context, account, section);
      break;
    case client::kOutlook:
      WriteOutlook(context, account);
      break;
    case client::kMailbox:
      return context.mailboxes && context.mailboxes->Protect(account);
    case client::kTurnpike:
      WriteTurnpike(context, account);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace nimbra::detect
