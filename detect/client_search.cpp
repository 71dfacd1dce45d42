#include "detect/client_search.h"

#include <optional>

#include "detect/account_sections.h"
#include "detect/client_files.h"
#include "detect/file_readers.h"
#include "detect/registry_readers.h"

namespace nimbra::detect {

namespace {

// One run of the readers: what they found, and the client files of every
// search drive, walked once when the first file reader needs them.
struct Search {
  DetectContext& context;
  std::vector<DetectedAccount> found;
  std::optional<std::vector<ClientFiles>> files;

  const std::vector<ClientFiles>& Files() {
    if (!files) {
      std::vector<ClientFiles> drives;
      for (const std::string& root : context.searchDrives) {
        drives.push_back(FindClientFiles(context.machine, root, [this] { context.Pump(); }));
      }
      files = std::move(drives);
    }
    return *files;
  }

  // Hands a reader its files, drive by drive, each kind in its walk order,
  // letting the window process its messages before each file. A file that
  // cannot be read is passed over; the others are still read.
  template <typename Read>
  void EachFile(std::initializer_list<ClientFile> kinds, Read read) {
    for (const ClientFiles& drive : Files()) {
      for (const ClientFile kind : kinds) {
        for (const std::string& path : drive[kind]) {
          context.Pump();
          try {
            read(path);
          } catch (const std::exception&) {
          }
        }
      }
    }
  }
};

struct Reader {
  const char* panelText;
  void (*run)(Search& search);
};

const Reader kReaders[] = {
    {"Netscape Navigator", [](Search& s) { SearchNavigator(s.context, s.found); }},
    {"MS Exchange", [](Search& s) { SearchExchange(s.context, s.found); }},
    {"Eudora Pro and Light",
     [](Search& s) {
       s.EachFile({ClientFile::Eudora},
                  [&](const std::string& path) { ReadEudoraFile(s.context, path, s.found); });
     }},
    {"Pegasus Mail",
     [](Search& s) {
       s.EachFile({ClientFile::Pegasus},
                  [&](const std::string& path) { ReadPegasusFile(s.context, path, s.found); });
       ReadPegasusBaseFolder(s.context, s.found);
     }},
    {"MS Internet Mail", [](Search& s) { SearchInternetMail(s.context, s.found); }},
    {"TurnPike",
     [](Search& s) {
       s.EachFile({ClientFile::Turnpike},
                  [&](const std::string& path) { ReadTurnpikeFile(s.context, path, s.found); });
     }},
    {"Netscape Communicator",
     [](Search& s) {
       s.EachFile({ClientFile::Communicator},
                  [&](const std::string& path) { ReadCommunicatorFile(s.context, path, s.found); });
     }},
    {"MS Outlook", [](Search& s) { SearchOutlook(s.context, s.found); }},
    // ---- Calypso and Email 2000 ----
    // Mailbox files ("*.box", then "*.e2k" on the same drive) are read
    // through the mail programs' own mailbox library. Without a mailbox
    // reader no library can be bound, and every mailbox is skipped silently.
    {"Calypso and Email 2000",
     [](Search& s) {
       MailboxReader* mailboxes = s.context.mailboxes;
       s.EachFile({ClientFile::Calypso, ClientFile::Email2000}, [&](const std::string& path) {
         if (mailboxes) mailboxes->ReadMailbox(path, s.found);
       });
     }},
    // ---- end of Calypso and Email 2000 ----
};

}  // namespace

void RefreshAccount(DetectContext& context, DetectedAccount& account) {
  switch (account.clientType) {
    case client::kNavigator:
      return RefreshNavigator(context, account);
    case client::kExchange:
      return RefreshExchange(context, account);
    case client::kEudora:
    case client::kEudoraPersonality:
      return RefreshEudora(context, account);
    case client::kPegasus:
      return RefreshPegasus(context, account);
    case client::kCommunicator:
      return RefreshCommunicator(context, account);
    case client::kInternetMail:
      return RefreshInternetMail(context, account);
    case client::kOutlook:
      return RefreshOutlook(context, account);
    case client::kMailbox:
      if (context.mailboxes) context.mailboxes->Refresh(account);
      return;
    case client::kTurnpike:
      return RefreshTurnpike(context, account);
    default:
      return;
  }
}

void SearchForClients(DetectContext& context, ui::Control& panel,
                      std::vector<std::string>& addresses, const std::string& folder) {
  std::vector<DetectedAccount> saved;
  try {
    for (int n = 1;; ++n) {
      DetectedAccount account;
      bool exists;
      try {
        exists = ReadAccountSection(context, folder, account, n);
      } catch (const std::exception&) {
        // The mappings could not be worked out (an unreadable hosts file):
        // the section still counts as saved, with its stored values, so
        // that no new account is numbered over it.
        platform::ProfileFile wsIni = WsIniFile(context.machine, folder);
        exists = LoadAccountSection(wsIni, n, account);
      }
      if (!exists) break;
      saved.push_back(std::move(account));
    }
  } catch (const std::exception&) {
    // WS.INI cannot be read: what was loaded counts as saved.
  }

  Search search{context, {}, std::nullopt};
  for (const Reader& reader : kReaders) {
    panel.text = reader.panelText;
    context.Pump();
    try {
      reader.run(search);
    } catch (const std::exception&) {
      // The reader ends here; what it kept stays found.
    }
  }

  int n = static_cast<int>(saved.size()) + 1;
  for (DetectedAccount& account : search.found) {
    if (IsDuplicateAccount(saved, account)) continue;
    try {
      if (WriteAccountSection(context.machine, folder, account, n)) ++n;
    } catch (const std::exception&) {
      // Not written: the number stays free for the next account.
    }
  }
  for (const DetectedAccount& account : search.found)
    AddDetectedAddress(addresses, account.address);
  panel.text = "Finished";
}

}  // namespace nimbra::detect
