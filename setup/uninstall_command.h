#pragma once

#include <iosfwd>

#include "platform/machine.h"
#include "ui/ui.h"

namespace nimbra::setup {

// How the uninstall command was asked to treat the data location.
enum class DataChoice {
  Keep,         // --keep-data
  Ask,          // the question RemoveDataFiles decides
  KeepUnasked,  // --silent without an answer file: the safe choice
};

// The uninstall command: finds the installation, takes it back and writes
// the summary to `out` (and, through the Ui, to the log). 0 when it was
// taken back or there was nothing to remove; 1 when it could not be read.
int RunUninstallCommand(platform::Machine& machine, ui::Ui& ui, DataChoice data, std::ostream& out);

}  // namespace nimbra::setup
