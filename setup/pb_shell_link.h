#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "core/error.h"

namespace nimbra::platform {
class Machine;
}

namespace nimbra::setup {

class InstallOps;

// A failure of the shell link component; what() is one of its three texts.
class ELinkError : public nimbra::Exception {
 public:
  using Exception::Exception;
};

// The shell link component: its properties, and a save that writes the link
// through the shell's link object (platform/links/shell_link.h) by way of
// the installation operations. An existing link file is loaded and updated
// in place; a missing one is created. Failures raise ELinkError with the
// component's own texts:
//   "\"CoCreateInstance\" a échoué."        no link file name was given
//   "\"PersistFile QueryInterface\" a échoué." the existing link file cannot be loaded
//   "Erreur en écriture."                     the link file cannot be written
// (the texts are CP-1252, as the component has them).
class TPBShellLink {
 public:
  TPBShellLink(platform::Machine& machine, InstallOps& ops) : machine_(machine), ops_(ops) {}

  std::string FileName;  // the ".lnk" file
  std::string Description;
  std::string Target;
  std::string WorkingDir;
  std::string Arguments;
  std::uint32_t ShowCmd = 1;  // SW_SHOWNORMAL
  std::uint16_t HotKey = 0;   // 0: left as it is
  std::string IconFile;
  int IconIndex = 0;

  void Save();

 private:
  platform::Machine& machine_;
  InstallOps& ops_;
};

}  // namespace nimbra::setup
