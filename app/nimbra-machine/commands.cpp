#include "app/nimbra-machine/commands.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/strings.h"
#include "platform/machine.h"
#include "platform/registry/registry.h"

namespace nimbra::machine_tool {

using platform::DriveType;
using platform::Machine;

namespace {

void Expect(bool ok, const std::string& usage) {
  if (!ok) throw UsageError("usage: nimbra-machine " + usage);
}

std::pair<platform::RootKey, std::string> SplitKey(const std::string& key) {
  const std::size_t slash = key.find('\\');
  const auto root = platform::ParseRootKey(std::string_view(key).substr(0, slash));
  if (!root) throw UsageError("not a registry key name: " + key);
  return {*root, slash == std::string::npos ? std::string() : key.substr(slash + 1)};
}

DriveType ParseDriveType(const std::string& text) {
  if (SameText(text, "fixed")) return DriveType::Fixed;
  if (SameText(text, "remote")) return DriveType::Remote;
  if (SameText(text, "cdrom")) return DriveType::CdRom;
  if (SameText(text, "removable")) return DriveType::Removable;
  throw UsageError("drive type must be fixed, remote, cdrom or removable: " + text);
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

void RunInit(const Args& args) {
  const std::string usage = "init DIR [--win9x]";
  Expect(args.size() == 1 || (args.size() == 2 && args[1] == "--win9x"), usage);
  platform::MachineOptions options;
  if (args.size() == 2) options.kind = platform::WindowsKind::Win9x;
  Machine machine = Machine::Create(args[0], options);
  std::printf("Created %s machine in %s\n", machine.IsNT() ? "Windows NT" : "Windows 95/98",
              machine.Root().string().c_str());
}

void RunReg(const Args& args) {
  const std::string usage = "reg query DIR KEY [VALUE] | reg import DIR FILE.reg";
  Expect(!args.empty(), usage);
  if (args[0] == "query") {
    Expect(args.size() == 3 || args.size() == 4, usage);
    Machine machine = Machine::Open(args[1]);
    const auto [root, path] = SplitKey(args[2]);
    std::optional<std::string_view> value;
    if (args.size() == 4) value = args[3];
    std::fputs(platform::QueryKey(machine.Reg(), root, path, value).c_str(), stdout);
  } else if (args[0] == "import") {
    Expect(args.size() == 3, usage);
    Machine machine = Machine::Open(args[1]);
    platform::ImportRegFile(machine.Reg(), ReadHostFile(args[2]), args[2]);
    machine.Save();
    std::printf("Imported %s\n", args[2].c_str());
  } else {
    Expect(false, usage);
  }
}

void RunDrive(const Args& args) {
  const std::string usage = "drive add DIR LETTER HOSTDIR TYPE [LABEL] [--remote NAME]";
  Args words = args;
  std::string remote;
  if (words.size() >= 2 && words[words.size() - 2] == "--remote") {
    remote = words.back();
    words.resize(words.size() - 2);
  }
  Expect((words.size() == 5 || words.size() == 6) && words[0] == "add" && words[2].size() == 1,
         usage);
  const DriveType type = ParseDriveType(words[4]);
  if (!remote.empty() && type != DriveType::Remote) {
    throw UsageError("--remote belongs to a remote drive");
  }
  Machine machine = Machine::Open(words[1]);
  machine.AddDrive(words[2][0], words[3], type, words.size() == 6 ? words[5] : "", remote);
  machine.Save();
  std::printf("Drive %c: -> %s\n", AnsiUpperChar(words[2][0]), words[3].c_str());
}

}  // namespace nimbra::machine_tool
