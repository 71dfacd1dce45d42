// The public-key text import over arbitrary text: blocks of any shape, tags
// anywhere, broken letters, hexadecimal and dates must be skipped or
// imported, never crash. One logged-on component is kept for the whole run;
// what earlier inputs imported stays in its databases, so later inputs also
// meet known keys.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "keys/key_texts.h"
#include "keys/nimbra_crypto.h"
#include "keys/tests/fake_ui.h"
#include "keys/text_seal.h"
#include "platform/processes/library.h"
#include "platform/processes/library_search.h"
#include "testsupport/test_machine.h"

namespace {

using namespace nimbra;

const std::string kProgram = "C:\\Program Files\\NimbraPost\\";
const std::string kData = "C:\\NimbraPost\\Data\\";

struct Installed {
  Installed()
      : loader(platform::SearchPathFor(*machine, kProgram), platform::ResolverFor(*machine)) {
    machine.SetString("HKLM\\Software\\NimbraPost\\Current Version", "exePath", kProgram);
    machine.PutFile(kProgram + "WS.INI", "[WORKSTATION]\r\nUsersFile=" + kData + "Users.ini\r\n");
    machine.PutFile(
        kData + "Users.ini",
        "[Users]\r\nAnn=" +
            keys::SealUserEntry(
                "a", keys::MakeDatabasePassword(std::vector<std::uint8_t>(100, 3)).Text()) +
            "\r\n[Compliance Desciptions]\r\n1=One\r\n");
    crypto = std::make_unique<keys::TNimbraMGR>(*machine, ui, loader, kProgram);
    crypto->shareSessions = false;
    if (!crypto->CheckPassword("Ann", "a")) std::abort();
  }
  testsupport::TestMachine machine;
  keys::test::FakeUi ui;
  platform::LibraryLoader loader;
  std::unique_ptr<keys::TNimbraMGR> crypto;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Installed installed;
  keys::TNimbraMGR& crypto = *installed.crypto;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  crypto.importReport.clear();
  crypto.ImportKeyText(keys::SplitTextLines(text));
  // The report only ever gains whole lines or the fingerprint warning.
  if (!crypto.importReport.empty() && crypto.importReport.back() != '\n' &&
      crypto.importReport.find("WARNING: THE KEY FINGER PRINT") == std::string::npos)
    std::abort();
  return 0;
}
