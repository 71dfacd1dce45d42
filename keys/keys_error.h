#pragma once

#include <string>

#include "core/error.h"

namespace nimbra::keys {

// Root of every exception raised by the key library.
class EKeysError : public nimbra::Exception {
 public:
  using Exception::Exception;
};

// An error of the table engine (SQLite) under the key databases. The table
// layer catches these, logs them to "DBERROR.LOG" and turns them into empty or
// false results; every other error passes through to the caller.
class EDBEngineError : public EKeysError {
 public:
  explicit EDBEngineError(const std::string& message, int code = 0)
      : EKeysError(message), code_(code) {}
  // SQLite's primary result code (5 when the database was locked), 0 when
  // the error did not come from SQLite itself.
  int Code() const { return code_; }

 private:
  int code_;
};

// The shared logon record could not be created or mapped.
class ESessionError : public EKeysError {
 public:
  using EKeysError::EKeysError;
};

}  // namespace nimbra::keys
