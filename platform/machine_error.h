#pragma once

#include <string>

#include "core/error.h"

namespace nimbra::platform {

// Root of every exception the emulated Windows machine raises.
class PlatformError : public nimbra::Exception {
 public:
  using Exception::Exception;
};

// A machine folder that cannot be opened or created, or a drive that cannot
// be added.
class MachineError : public PlatformError {
 public:
  using PlatformError::PlatformError;
};

// A whole-file read or write on a Windows path that failed; the message
// names the Windows path.
class FileError : public PlatformError {
 public:
  using PlatformError::PlatformError;
};

}  // namespace nimbra::platform
