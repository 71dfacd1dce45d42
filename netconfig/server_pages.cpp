#include "netconfig/server_pages.h"

#include <algorithm>

#include "netconfig/accounts_file.h"
#include "platform/files/path.h"
#include "ui/questions.h"

namespace nimbra::netconfig {

void ServerPages::Stay(const std::string& control, const std::string& message) {
  wizard_.Message(message);
  wizard_.Refuse(control);
  wizard_.settings.MayLeavePage = false;
}

void ServerPages::TabSheet27Exit() {
  struct Required {
    const char* control;
    const char* message;
  };
  for (const Required& r :
       {Required{"RegName", "Please enter a Company Name"},
        Required{"ServerName", "Please enter a Server Name"},
        Required{"RegAddress", "Please enter an Administration Email Address"}}) {
    if (wizard_.Text(r.control).empty()) {
      Stay(r.control, r.message);
      return;
    }
  }
  wizard_.Text("PrimeEmail") = wizard_.Text("RegAddress");
  wizard_.Text("GroupName") = wizard_.Text("RegName");
}

// The proxy and the mail server it serves cannot listen on one address and
// port. A proxy listening on every address (0.0.0.0) collides with a server
// on this computer: a loopback address or one of the computer's own.
void ServerPages::TabSheet23Exit() {
  const std::vector<std::string> own = wizard_.machine.IpAddresses();
  for (const char* p : {"SMTP", "POP3", "IMAP"}) {
    const std::string protocol = p;
    if (!wizard_.form.At(protocol).checked) continue;
    const std::string& listen = wizard_.Text("Nbr" + protocol);
    const std::string& listenPort = wizard_.Text("Nbr" + protocol + "Port");
    const std::string& server = wizard_.Text("Net" + protocol);
    const std::string& serverPort = wizard_.Text("Net" + protocol + "Port");
    bool conflict = listen == server && listenPort == serverPort;
    if (!conflict && listen == "0.0.0.0" && listenPort == serverPort) {
      conflict =
          server.rfind("127.", 0) == 0 || std::find(own.begin(), own.end(), server) != own.end();
    }
    if (conflict) {
      Stay("Nbr" + protocol + "Port",
           "The " + protocol +
               " configuration entered contains a conflict between the Listening NimbraPost "
               "service and the Email Server.\r\nIf you are running the email server and "
               "NimbraPost on the same machine you must reconfigure the port settings to avoid "
               "the conflict");
      return;
    }
  }
}

void ServerPages::TabSheet24Enter() {
  ui::Control& grid = wizard_.form.At("NimbraAccounts");
  grid.SetGridSize(3, std::max(wizard_.settings.RunQuantity, 0) + 1);
  grid.SetCell(0, 0, "Name");
  grid.SetCell(1, 0, "Email Addresses");
  grid.SetCell(2, 0, "Key Type");
}

// Fills the grid from a text file of "name<TAB>addresses" lines, line n into
// row n; lines beyond the grid's rows (one per licensed user) are left out.
void ServerPages::BitBtn1Click() {
  const auto chosen =
      wizard_.ui.OpenFile({std::string(ui::q::AccountsFileDialog), "Load from File",
                           wizard_.SetupDir(), "", "Text files (*.txt)|*.txt|All files (*.*)|*.*"});
  if (!chosen || chosen->empty()) return;
  std::string text;
  try {
    text = wizard_.machine.ReadFile(*chosen);
  } catch (const platform::PlatformError& error) {
    wizard_.Message("The file " + *chosen + " could not be read:\r\n" + error.what());
    return;
  }
  ui::Control& grid = wizard_.form.At("NimbraAccounts");
  int row = 1;
  for (const AccountLine& line : ParseAccountsFile(text)) {
    if (row >= grid.RowCount()) break;
    grid.SetCell(0, row, line.name);
    grid.SetCell(1, row, line.addresses);
    grid.SetCell(2, row, "Person");
    ++row;
  }
}

std::shared_ptr<ServerPages> RegisterServerPages(setup::WizardContext& wizard) {
  auto pages = std::make_shared<ServerPages>(wizard);
  ServerPages* p = pages.get();
  wizard.SetPageHandlers("TabSheet27", {nullptr, [p] { p->TabSheet27Exit(); }});
  wizard.SetPageHandlers("TabSheet23", {nullptr, [p] { p->TabSheet23Exit(); }});
  wizard.SetPageHandlers("TabSheet24", {[p] { p->TabSheet24Enter(); }, nullptr});
  wizard.SetPageHandlers("TabSheet32",
                         {[p] { p->TabSheet32Enter(); }, [p] { p->TabSheet32Exit(); }});
  wizard.SetPageHandlers("TabSheet33", {nullptr, [p] { p->TabSheet33Exit(); }});
  wizard.SetPageHandlers("TabSheet34",
                         {[p] { p->TabSheet34Enter(); }, [p] { p->TabSheet34Exit(); }});
  wizard.SetPageHandlers("TabSheet35", {nullptr, [p] { p->TabSheet35Exit(); }});
  wizard.SetPageHandlers("TabSheet36", {[p] { p->TabSheet36Enter(); }, nullptr});
  ui::Form& f = wizard.form;
  f.At("BitBtn1").onClick = [p] { p->BitBtn1Click(); };
  f.At("ADDNbrIP").onClick = [p] { p->ADDNbrIPClick(); };
  f.At("RemoveNbrIP").onClick = [p] { p->RemoveNbrIPClick(); };
  f.At("TestNimbraIP").onClick = [p] { p->TestNimbraIPClick(); };
  f.At("RemoveInternal").onClick = [p] { p->RemoveInternalClick(); };
  f.At("TestInternal").onClick = [p] { p->TestInternalClick(); };
  f.At("SendiPAdd").onClick = [p] { p->SendiPAddClick(); };
  f.At("SendIPRemove").onClick = [p] { p->SendIPRemoveClick(); };
  f.At("Button7").onClick = [p] { p->Button7Click(); };
  return pages;
}

}  // namespace nimbra::netconfig
