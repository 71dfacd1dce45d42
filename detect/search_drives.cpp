#include "detect/search_drives.h"

#include "core/strings.h"

namespace nimbra::detect {

using platform::DriveType;

void BuildDriveList(DetectContext& context, std::vector<std::string>& list) {
  list.clear();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    const DriveType type = context.machine.GetDriveType(root);
    if (type == DriveType::Fixed || type == DriveType::Remote) list.push_back(root);
  }
  context.searchDrives = list;
}

std::string DriveDisplayText(platform::Machine& machine, const std::string& root) {
  const bool lower = !root.empty() && root[0] >= 'a' && root[0] <= 'z';
  const auto inCase = [lower](const std::string& text) {
    return lower ? AnsiLowerCase(text) : AnsiUpperCase(text);
  };
  // The emulated volume query shows no error box for a drive that is not
  // ready: it reports no label.
  const auto label = [&] {
    const auto volume = machine.GetVolumeInformation(root.substr(0, 3));
    return "[" + inCase(volume ? volume->label : std::string()) + "]";
  };
  switch (machine.GetDriveType(root)) {
    case DriveType::Fixed:
      return root + " - " + label();
    case DriveType::Remote: {
      const auto remote = machine.GetNetworkConnection(root.substr(0, 2));
      return root + " ~ " + (remote ? inCase(*remote) : label());
    }
    default:
      return root + " Type UnKnown";
  }
}

void SetSearchDrives(DetectContext& context, const std::vector<std::string>& roots) {
  context.searchDrives = roots;
}

}  // namespace nimbra::detect
