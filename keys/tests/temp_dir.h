#pragma once

#include <filesystem>
#include <string>

#include "keys/key_cache.h"
#include "keys/table_pool.h"
#include "testsupport/temp_folder.h"

namespace nimbra::keys::test {

// A fresh host folder, removed with its content afterwards. Drops this
// process's connections and caches so that no test sees another's state.
class TempDir {
 public:
  TempDir() {
    CloseAllTables();
    ClearAllCaches();
  }
  ~TempDir() { CloseAllTables(); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Host path of a file in the folder.
  std::string operator/(const std::string& name) const { return (folder_ / name).string(); }
  const std::filesystem::path& Path() const { return folder_.Path(); }

  std::string Read(const std::string& name) const { return testsupport::ReadText(folder_ / name); }
  void Write(const std::string& name, const std::string& content) const {
    testsupport::WriteText(folder_ / name, content);
  }

 private:
  testsupport::TempFolder folder_{"keys"};
};

}  // namespace nimbra::keys::test
