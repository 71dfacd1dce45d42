#include "detect/client_files.h"

namespace nimbra::detect {

namespace {

constexpr std::array<std::string_view, kClientFileKinds> kPatterns = {
    "Eudora.ini", "PMail.ini", "Connect.ini", "prefs.js", "*.box", "*.e2k"};

}  // namespace

std::string_view ClientFilePattern(ClientFile kind) {
  return kPatterns[static_cast<std::size_t>(kind)];
}

ClientFiles FindClientFiles(const platform::Machine& machine, std::string_view root,
                            const std::function<void()>& pump) {
  const std::vector<std::string> patterns(kPatterns.begin(), kPatterns.end());
  std::vector<std::vector<std::string>> found = machine.FindFiles(root, patterns, pump);
  ClientFiles files;
  for (std::size_t i = 0; i < kClientFileKinds; ++i) files.byKind[i] = std::move(found[i]);
  return files;
}

}  // namespace nimbra::detect
