#include "platform/links/shell_link.h"

#include <vector>

#include "core/strings.h"
#include "platform/machine.h"

namespace nimbra::platform {

namespace {

// Splits "C:\A\B" into {"C:", "A", "B"}.
std::vector<std::string> Parts(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t cut = path.find('\\', start);
    std::string part = path.substr(start, cut - start);
    if (!part.empty()) parts.push_back(part);
    if (cut == std::string::npos) break;
    start = cut + 1;
  }
  return parts;
}

}  // namespace

std::uint64_t ToFileTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  constexpr std::int64_t kUnixEpochIn1601 = 116444736000000000;  // 100 ns units
  auto ticks = duration_cast<nanoseconds>(time.time_since_epoch()).count() / 100;
  std::int64_t value = ticks + kUnixEpochIn1601;
  return value < 0 ? 0 : static_cast<std::uint64_t>(value);
}

std::string RelativeLinkPath(const std::string& link_path, const std::string& target) {
  std::vector<std::string> from = Parts(link_path);
  std::vector<std::string> to = Parts(target);
  auto is_drive = [](const std::vector<std::string>& parts) {
    return !parts.empty() && parts[0].size() == 2 && parts[0][1] == ':';
  };
  if (!is_drive(from) || !is_drive(to) || !SameText(from[0], to[0]) || to.size() < 2) return {};
  from.pop_back();  // the link's own file name
  std::size_t common = 0;
  while (common < from.size() && common < to.size() - 1 && AnsiSameText(from[common], to[common])) {
    ++common;
  }
  std::string relative;
  if (common == from.size()) {
    relative = ".";
  } else {
    for (std::size_t i = common; i < from.size(); ++i) relative += relative.empty() ? ".." : "\\..";
  }
  for (std::size_t i = common; i < to.size(); ++i) relative += "\\" + to[i];
  return relative;
}

void ShellLink::Save(const std::string& link_path) {
  ShellLinkFile out = link_;
  out.unicode = true;
  out.had_id_list = false;
  out.file_attributes = 0;
  out.creation_time = out.access_time = out.write_time = 0;
  out.file_size = 0;
  out.relative_path.clear();
  if (!link_.local_base_path.empty()) {
    std::string target = machine_.FullPath(link_.local_base_path);
    if (target.empty()) target = link_.local_base_path;
    out.local_base_path = target;
    if (auto attributes = machine_.GetAttributes(target)) {
      out.file_attributes = *attributes;
      if (auto size = machine_.FileSize(target)) out.file_size = static_cast<std::uint32_t>(*size);
      if (auto time = machine_.LastWriteTime(target)) {
        out.creation_time = out.access_time = out.write_time = ToFileTime(*time);
      }
    }
    std::string root = target.size() >= 2 ? target.substr(0, 2) + "\\" : std::string();
    out.drive_type = static_cast<std::uint32_t>(machine_.GetDriveType(root));
    if (auto volume = machine_.GetVolumeInformation(root)) {
      out.drive_serial = volume->serial;
      out.volume_label = volume->label;
    }
    std::string full_link = machine_.FullPath(link_path);
    out.relative_path = RelativeLinkPath(full_link.empty() ? link_path : full_link, target);
  }
  std::vector<std::uint8_t> bytes = EncodeShellLink(out);
  try {
    machine_.WriteFile(link_path,
                       std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } catch (const FileError& e) {
    throw ShellLinkError(std::string("cannot write shell link: ") + e.what());
  }
  link_ = out;
}

void ShellLink::Load(const std::string& link_path) {
  std::string bytes;
  try {
    bytes = machine_.ReadFile(link_path);
  } catch (const FileError& e) {
    throw ShellLinkError(std::string("cannot read shell link: ") + e.what());
  }
  link_ =
      DecodeShellLink(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace nimbra::platform
