#include "setup/referral.h"

#include "core/strings.h"
#include "platform/machine_values.h"
#include "platform/registry/registry.h"

namespace nimbra::setup {

namespace {

void AppendLines(platform::Machine& machine, const std::string& path,
                 std::vector<std::string>& lines) {
  std::string text;
  try {
    text = machine.ReadFile(path);
  } catch (const std::exception&) {
    return;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
}

}  // namespace

std::string FindReferral(const std::vector<std::string>& lines) {
  std::string value;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line == "NIMREF") {
      value = lines[i + 1];
      continue;
    }
    const std::string upper = UpperCase(line);
    const auto at = upper.find("NIMREF");
    if (LowerCase(line).find(kReferralDomain) != std::string::npos && at != std::string::npos) {
      const std::size_t from = at + 6 + 1;
      value = from <= upper.size() ? upper.substr(from) : std::string();
    }
  }
  return value;
}

std::string ReferralLookup(platform::Machine& machine) {
  std::vector<std::string> lines;

  // The browser's cookie files anywhere below its folder.
  std::string browser =
      platform::ReadRegString(machine.Reg(), platform::RootKey::LocalMachine,
                              "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
                              "Paths\\netscape.exe",
                              "")
          .value_or("");
  std::string folder = browser.size() >= 3 ? browser.substr(0, 3) : std::string("C:\\");
  if (machine.DirectoryExists(folder + "Program Files\\")) folder += "Program Files\\";
  if (machine.DirectoryExists(folder + "Netscape\\")) folder += "Netscape\\";
  for (const auto& file : machine.FindFiles(folder, "cookies.txt")) {
    AppendLines(machine, file, lines);
  }

  // The other browser's cookie for the maker's site, in the Cookies folder.
  std::string cookies =
      platform::ReadRegString(machine.Reg(), platform::RootKey::CurrentUser,
                              "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
                              "Folders",
                              "Cookies")
          .value_or("");
  if (!cookies.empty()) {
    if (cookies.back() != '\\') cookies += '\\';
    const std::string base = cookies + machine.UserName() + "@" + std::string(kReferralSite);
    for (const std::string& candidate :
         {base + ".txt", base + "(1).txt", cookies + "cookies.txt"}) {
      if (machine.FileExists(candidate)) {
        AppendLines(machine, candidate, lines);
        break;
      }
    }
  }
  return FindReferral(lines);
}

}  // namespace nimbra::setup
