#include "platform/processes/window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/strings.h"

namespace nimbra::platform {

namespace {

constexpr WindowHandle kFirstHandle = 0x00010020;
constexpr const char* kIgnoresQuit = "ignores-quit";

std::optional<WindowInfo> Parse(const TableFile::Row& row) {
  if (row.size() < 3) return std::nullopt;
  WindowInfo info;
  info.handle = static_cast<WindowHandle>(std::strtoul(row[0].c_str(), nullptr, 0));
  if (info.handle == 0) return std::nullopt;
  info.class_name = row[1];
  info.title = row[2];
  info.ignores_quit = row.size() > 3 && row[3] == kIgnoresQuit;
  return info;
}

std::string HandleText(WindowHandle handle) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", handle);
  return text;
}

}  // namespace

Windows::Windows(const std::filesystem::path& machine_root)
    : table_(EmulationFolder(machine_root) / "windows.txt",
             {"Open top-level windows of the machine's programs.",
              "handle\tclass\ttitle\tflags (ignores-quit or -)"}) {}

WindowHandle Windows::Open(const std::string& class_name, const std::string& title,
                           bool ignores_quit) {
  WindowHandle handle = 0;
  table_.Update([&](std::vector<TableFile::Row>& rows) {
    WindowHandle last = kFirstHandle - 2;
    for (const TableFile::Row& row : rows) {
      if (auto info = Parse(row)) last = std::max(last, info->handle);
    }
    handle = last + 2;
    rows.push_back({HandleText(handle), class_name, title, ignores_quit ? kIgnoresQuit : "-"});
    return true;
  });
  return handle;
}

std::vector<WindowInfo> Windows::Enumerate() const {
  std::vector<WindowInfo> windows;
  for (const TableFile::Row& row : table_.Read()) {
    if (auto info = Parse(row)) windows.push_back(*info);
  }
  return windows;
}

WindowHandle Windows::FindWindow(const std::optional<std::string>& class_name,
                                 const std::optional<std::string>& title) const {
  for (const WindowInfo& info : Enumerate()) {
    if (class_name && !AnsiSameText(info.class_name, *class_name)) continue;
    if (title && !AnsiSameText(info.title, *title)) continue;
    return info.handle;
  }
  return 0;
}

std::optional<WindowInfo> Windows::Info(WindowHandle window) const {
  for (const WindowInfo& info : Enumerate()) {
    if (info.handle == window) return info;
  }
  return std::nullopt;
}

bool Windows::IsWindow(WindowHandle window) const {
  return window != 0 && Info(window).has_value();
}

bool Windows::PostMessage(WindowHandle window, std::uint32_t message) {
  bool found = false;
  table_.Update([&](std::vector<TableFile::Row>& rows) {
    for (auto row = rows.begin(); row != rows.end(); ++row) {
      auto info = Parse(*row);
      if (!info || info->handle != window) continue;
      found = true;
      if ((message == kWmClose || message == kWmQuit) && !info->ignores_quit) {
        rows.erase(row);
        return true;
      }
      return false;
    }
    return false;
  });
  if (!found) last_error_ = kErrorInvalidWindowHandle;
  return found;
}

}  // namespace nimbra::platform
