#pragma once

// The registry's exceptions, apart from the registry itself so that the
// files it is built of (hive text, key tree, imports) can raise them.

#include <string>

#include "platform/machine_error.h"

namespace nimbra::platform {

// Every registry failure: a missing value, a value of the wrong type, a key
// that cannot be created, a file that cannot be read or written.
class ERegistryException : public PlatformError {
 public:
  using PlatformError::PlatformError;
};

// Malformed registry text (a hive file or a .reg import); the message names
// the file and the line: "<file>:<line>: <what>".
class ERegistryFormatError : public ERegistryException {
 public:
  ERegistryFormatError(const std::string& file, int line, const std::string& what)
      : ERegistryException(file + ":" + std::to_string(line) + ": " + what),
        file_(file),
        line_(line) {}
  const std::string& File() const { return file_; }
  int Line() const { return line_; }

 private:
  std::string file_;
  int line_;
};

}  // namespace nimbra::platform
