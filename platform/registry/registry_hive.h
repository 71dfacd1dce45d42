#pragma once

// The state the registry keeps of each of its two hive files (inside the
// registry's own sources only).

#include <filesystem>
#include <optional>
#include <string>

#include "platform/files/file_stamp.h"
#include "platform/registry/reg_hive.h"
#include "platform/registry/registry.h"

namespace nimbra::platform {

inline constexpr int kMachineHive = 0;  // system.reg
inline constexpr int kUserHive = 1;     // user.reg

struct Registry::Hive {
  std::filesystem::path file;
  FileStamp stamp;                  // of the file as last read or written
  std::optional<std::string> text;  // the file as last read or written; nullopt: none
  bool loaded = false;
  bool dirty = false;
  bool keepFile = false;  // damaged and not kept aside: never saved over
  reg::HiveContent content;

  // The same state with its own copy of the content.
  std::unique_ptr<Hive> Copy() const;
};

}  // namespace nimbra::platform
