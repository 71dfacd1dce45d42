#pragma once

#include <string>
#include <string_view>

namespace nimbra::keys {

// One database file of a TKeysDB pair, by host path. The name is the file
// name upper-cased; it names the key table and, after "URL", the address
// table, and keys the per-process caches together with the directory. It
// holds nothing secret: the per-process caches keep it beyond the open
// database, the database password stays with the TKeysDB.
struct DbFile {
  std::string path;       // host path of the database file; empty: not used
  std::string name;       // upper-cased file name, e.g. "MYKEYS.DAT"
  std::string identity;   // see Identity(); set by Make
  std::string stampPath;  // see StampPath(); set by Make
  std::string urlTable;   // see UrlTable(); set by Make
  // On a folder that other computers use: no connection to it is kept
  // between operations, so that the file is held open only while in use.
  bool shared = false;

  static DbFile Make(const std::string& path);
  bool Used() const { return !path.empty(); }
  std::string Directory() const;  // host directory with a trailing "/"
  const std::string& KeyTable() const { return name; }
  const std::string& UrlTable() const { return urlTable; }
  // The companion file holding the "Owner" stamp: the file's path + ".ini",
  // or the file of that name in another letter case that exists.
  const std::string& StampPath() const { return stampPath; }
  // Identity of the file for cache keys and for telling two files apart:
  // the upper-cased host path, as the files' own names are matched without
  // regard to case. Kept with the file: every operation looks it up.
  const std::string& Identity() const { return identity; }
};

// Appends one line to "DBERROR.LOG" in directory (host path with trailing
// "/"): source + ":" + the current time "yyyymmddhhmmss" + ":" + message.
// When the log cannot be opened or created the event is not logged.
void LogDbEvent(const std::string& directory, std::string_view source, std::string_view message);
// The same with the database file's name as source.
void LogDbError(const DbFile& file, std::string_view message);

}  // namespace nimbra::keys
