#pragma once

#include <string>

namespace nimbra::keys {

// The "Owner" stamp kept in section "Cache" of a database's companion ".ini":
// written by the last process that changed the database, read by every
// process before it trusts its caches of that database.
//
// Stamps begin with the time "yyyymmddhhnnss" and carry a suffix naming the
// writing process and a counter ("-<pid>-<n>"), so that two writes within
// the same second still leave different stamps; readers only compare stamps
// for equality.
class OwnerStamp {
 public:
  // The stamp in the file; empty when the file or the key is missing.
  static std::string Read(const std::string& stampPath);
  // Writes newStamp under an exclusive lock on the file (created when
  // missing, other sections and keys kept) and returns the stamp that was
  // there before, read under the same lock. Empty returned when the file
  // could not be written.
  static std::string Replace(const std::string& stampPath, const std::string& newStamp, bool* ok);
  // A fresh stamp of the current time.
  static std::string Make();
};

}  // namespace nimbra::keys
