// Windows path texts of the machine: making paths absolute, resolving them
// on a small machine, normalising locations, wildcards and 8.3 aliases.
// Besides not crashing, checks the invariants callers rely on.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/strings.h"
#include "platform/files/drive.h"
#include "platform/files/find.h"
#include "platform/files/path.h"
#include "platform/files/short_name.h"
#include "testsupport/test_machine.h"

namespace {

using namespace nimbra::platform;
using nimbra::testsupport::TestMachine;

// One machine for the whole run, holding a few names to resolve against.
struct SmallMachine {
  SmallMachine() {
    machine.PutFile("C:\\Program Files\\NimbraPost\\WS.INI", "[A]\r\n");
    machine.PutFile("C:\\Program Files\\NimbraPost\\NimbraMGR.exe", "MZ");
  }
  TestMachine machine;
};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static SmallMachine small;
  Machine& m = small.machine.machine();

  const std::string full = m.FullPath(text);
  if (!full.empty()) {
    Check(DriveLetterOf(full).has_value() && full.size() >= 3 && full[2] == '\\');
    Check(m.FullPath(full) == full);  // absolute paths are fixed points
    const auto host = m.HostPath(full);
    if (host && m.DirectoryExists(full)) Check(m.WindowsPath(*host).has_value());
    if (const auto short_path = m.ShortPath(full)) Check(m.LongPath(*short_path).has_value());
  }

  const std::string location = NormalizeLocation(text);
  Check(!location.empty() && location.back() == '\\');

  const std::size_t split = text.find('|');
  if (split != std::string_view::npos) {
    WildcardMatch(text.substr(0, split), text.substr(split + 1));
  }
  Check(WildcardMatch("*", text.substr(0, text.find('\0'))));

  const std::string ansi(text);
  Check(HostNameToAnsi(AnsiToHostName(ansi)) == ansi);

  std::vector<std::string> names;
  std::set<std::string, nimbra::TextLess> distinct;
  for (const std::string& part : SplitPathComponents(text)) {
    if (distinct.insert(part).second) names.push_back(part);
  }
  const std::vector<std::string> aliases = ShortNamesForFolder(names);
  Check(aliases.size() == names.size());
  std::set<std::string> unique;
  for (const std::string& alias : aliases) {
    Check(alias.size() <= 12);
    unique.insert(nimbra::AnsiUpperCase(alias));
  }
  Check(unique.size() == aliases.size());

  LabelFromFileText(text);
  SerialFromFileText(text);
  return 0;
}
