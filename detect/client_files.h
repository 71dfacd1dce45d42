#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"

namespace nimbra::detect {

// The files the file readers look for, each with its wildcard pattern.
enum class ClientFile : std::size_t {
  Eudora,        // "Eudora.ini"
  Pegasus,       // "PMail.ini"
  Turnpike,      // "Connect.ini"
  Communicator,  // "prefs.js"
  Calypso,       // "*.box"
  Email2000,     // "*.e2k"
};
inline constexpr std::size_t kClientFileKinds = 6;
std::string_view ClientFilePattern(ClientFile kind);

// Every client file of one drive, per kind in the order of a walk of that
// kind alone: each folder's own matches in name order, then its subfolders
// in name order (ordinary files only: hidden and system files are not
// matched, hidden and system folders not entered).
struct ClientFiles {
  std::array<std::vector<std::string>, kClientFileKinds> byKind;

  const std::vector<std::string>& operator[](ClientFile kind) const {
    return byKind[static_cast<std::size_t>(kind)];
  }
};

// Walks the drive at `root` ("C:\") once for every kind. Folders that cannot
// be read, and folders met again through a link, are passed over; the
// process's current directory is never used. `pump`, when set, is called
// before each folder is read.
ClientFiles FindClientFiles(const platform::Machine& machine, std::string_view root,
                            const std::function<void()>& pump = {});

}  // namespace nimbra::detect
