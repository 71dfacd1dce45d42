#include "setup/paths.h"

namespace nimbra::setup {

std::string NormalisePath(std::string_view location) {
  std::string text(location);
  text += '\\';
  const std::size_t keep = text.size() < 2 ? text.size() : 2;
  std::string out = text.substr(0, keep);
  bool previousSlash = false;
  for (std::size_t i = keep; i < text.size(); ++i) {
    const bool slash = text[i] == '\\';
    if (slash && previousSlash) continue;
    previousSlash = slash;
    out += text[i];
  }
  return out;
}

std::string MoveToDrive(std::string_view location, std::string_view programLocation) {
  const auto colon = location.find(':');
  if (colon == std::string_view::npos) return std::string(location);
  return std::string(programLocation.substr(0, 2)) + std::string(location.substr(colon + 1));
}

std::string DirectoryOf(std::string_view path) {
  const auto slash = path.rfind('\\');
  if (slash == std::string_view::npos) return {};
  return std::string(path.substr(0, slash + 1));
}

}  // namespace nimbra::setup
