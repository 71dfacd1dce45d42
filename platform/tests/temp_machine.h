#pragma once

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/library_search.h"

namespace nimbra::platform {

// A throw-away machine root for the tests of processes, windows, services,
// links, libraries and shared memory. Windows paths map to
// root/drive_<letter>/..., existing names matched without regard to case.
class TempMachine {
 public:
  TempMachine() {
    root_ = std::filesystem::temp_directory_path() /
            ("nimbra-sys-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "drive_c");
  }
  ~TempMachine() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  const std::filesystem::path& Root() const { return root_; }

  std::filesystem::path HostPath(const std::string& windowsPath) const {
    std::string rest = windowsPath;
    std::filesystem::path host = root_;
    if (rest.size() >= 2 && rest[1] == ':') {
      host /= std::string("drive_") + static_cast<char>(std::tolower(rest[0]));
      rest = rest.substr(2);
    }
    for (char& c : rest) {
      if (c == '\\') c = '/';
    }
    for (const auto& part : std::filesystem::path(rest)) {
      if (part == "/") continue;
      std::filesystem::path next = host / part;
      std::error_code ec;
      if (!std::filesystem::exists(next, ec) && std::filesystem::is_directory(host, ec)) {
        for (const auto& entry : std::filesystem::directory_iterator(host, ec)) {
          if (EqualsNoCase(entry.path().filename().string(), part.string())) next = entry.path();
        }
      }
      host = next;
    }
    return host;
  }

  PathResolver Resolver() const {
    return [this](const std::string& path) { return HostPath(path); };
  }

  // Creates a file (and its folders) at a Windows path.
  void Touch(const std::string& windowsPath, const std::string& content = "MZ") const {
    std::filesystem::path host = HostPath(windowsPath);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
  }

 private:
  std::filesystem::path root_;
  static inline int counter_ = 0;
};

}  // namespace nimbra::platform
