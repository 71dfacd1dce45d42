#include "keys/db_file.h"

#include <cstdio>

#include "core/strings.h"
#include "keys/clock.h"
#include "platform/files/file_listing.h"
#include "platform/files/path.h"

namespace nimbra::keys {

DbFile DbFile::Make(const std::string& path) {
  DbFile file;
  file.path = path;
  const std::size_t slash = path.find_last_of('/');
  file.name = UpperCase(slash == std::string::npos ? path : path.substr(slash + 1));
  file.identity = UpperCase(path);
  // The companion file matched as the machine matches names: an existing
  // "MYKEYS.DAT.INI" is the stamp file of "MYKEYS.DAT" too.
  const std::string directory = file.Directory();
  const std::string stampName =
      platform::HostNameToAnsi(slash == std::string::npos ? path : path.substr(slash + 1)) + ".ini";
  const std::optional<std::string> existing = platform::MatchHostEntry(directory, stampName);
  file.stampPath = existing ? directory + *existing : path + ".ini";
  file.urlTable = "URL" + file.name;
  return file;
}

std::string DbFile::Directory() const {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void LogDbEvent(const std::string& directory, std::string_view source, std::string_view message) {
  const std::string line = std::string(source) + ":" + FormatDateTime("yyyymmddhhnnss", Now()) +
                           ":" + std::string(message) + "\r\n";
  // Append mode creates the file when it is missing; when neither works the
  // event goes unlogged.
  std::FILE* log = std::fopen((directory + "DBERROR.LOG").c_str(), "ab");
  if (!log) return;
  std::fwrite(line.data(), 1, line.size(), log);
  std::fclose(log);
}

void LogDbError(const DbFile& file, std::string_view message) {
  LogDbEvent(file.Directory(), file.name, message);
}

}  // namespace nimbra::keys
