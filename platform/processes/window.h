#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes/process_table_file.h"

namespace nimbra::platform {

// A top-level window handle; 0 is "no window".
using WindowHandle = std::uint32_t;

inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmQuit = 0x0012;
inline constexpr std::uint32_t kErrorInvalidWindowHandle = 1400;

struct WindowInfo {
  WindowHandle handle = 0;
  std::string class_name;
  std::string title;
  bool ignores_quit = false;  // stays open when asked to close or quit
};

// The open top-level windows of the machine's other programs, kept in
// "<root>/emulation/windows.txt" so that tests and the demo can seed "the
// product is running" situations and see what the wizard closed. Lines:
//   handle<TAB>class<TAB>title<TAB>flags
// handle a number (decimal or 0x hex, unique), flags "ignores-quit" or "-".
// Class names and titles are matched without regard to case, as FindWindow
// does. Windows are closed by posted WM_CLOSE or WM_QUIT unless flagged.
class Windows {
 public:
  explicit Windows(const std::filesystem::path& machine_root);

  // Adds a window (the seeding side: a program of the machine opens it).
  WindowHandle Open(const std::string& class_name, const std::string& title,
                    bool ignores_quit = false);

  // FindWindow: nullopt matches any class / any title; 0 when none matches.
  WindowHandle FindWindow(const std::optional<std::string>& class_name,
                          const std::optional<std::string>& title) const;
  bool IsWindow(WindowHandle window) const;
  std::optional<WindowInfo> Info(WindowHandle window) const;
  // EnumWindows: in the table's order.
  std::vector<WindowInfo> Enumerate() const;

  // PostMessage: WM_CLOSE and WM_QUIT close the window unless it ignores
  // quit requests; other messages are accepted and change nothing. False
  // with LastError 1400 for a window that does not exist.
  bool PostMessage(WindowHandle window, std::uint32_t message);

  std::uint32_t LastError() const { return last_error_; }

 private:
  TableFile table_;
  std::uint32_t last_error_ = 0;
};

}  // namespace nimbra::platform
