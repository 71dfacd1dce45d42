#include "setup/pb_shell_link.h"

#include "platform/links/shell_link.h"
#include "platform/machine.h"
#include "setup/install_ops.h"

namespace nimbra::setup {

void TPBShellLink::Save() {
  if (FileName.empty())
    throw ELinkError(
        "\"CoCreateInstance\" a \xE9"
        "chou\xE9.");
  platform::ShellLink link(machine_);
  if (machine_.FileExists(FileName)) {
    try {
      link.Load(FileName);
    } catch (const platform::ShellLinkError&) {
      throw ELinkError(
          "\"PersistFile QueryInterface\" a \xE9"
          "chou\xE9.");
    }
  }
  link.SetPath(Target);
  link.SetDescription(Description);
  link.SetWorkingDirectory(WorkingDir);
  link.SetArguments(Arguments);
  link.SetShowCmd(ShowCmd);
  if (HotKey != 0) link.SetHotkey(HotKey);
  if (!IconFile.empty()) link.SetIconLocation(IconFile, IconIndex);
  try {
    ops_.SaveShortcut(link, FileName);
  } catch (const platform::ShellLinkError&) {
    throw ELinkError(
        "Erreur en \xE9"
        "criture.");
  }
}

}  // namespace nimbra::setup
