#include "platform/processes/service_net_command.h"

#include <string_view>
#include <vector>

#include "core/strings.h"

namespace nimbra::platform {

namespace {

// Splits a command line at blanks, keeping quoted parts together (quotes removed).
std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  if (any) words.push_back(word);
  return words;
}

}  // namespace

void InstallNetCommand(Processes& processes, ServiceManager& services) {
  processes.SetHook("NET.EXE", [&services](const ProcessStart& start) -> std::uint32_t {
    std::vector<std::string> words = Words(start.arguments);
    if (words.empty()) return 0;
    bool starting = SameText(words[0], "START");
    bool stopping = SameText(words[0], "STOP");
    if (!starting && !stopping) return 0;
    if (words.size() == 1) return starting ? 0 : 2;  // NET START alone lists the services
    std::string name = words[1];
    for (std::size_t i = 2; i < words.size(); ++i) name += " " + words[i];
    std::optional<ServiceInfo> info = services.FindByDisplayName(name);
    if (!info) return 2;
    std::optional<Service> service = services.OpenService(info->name);
    if (!service) return 2;
    return (starting ? service->Start() : service->Stop()) ? 0 : 2;
  });
}

}  // namespace nimbra::platform
