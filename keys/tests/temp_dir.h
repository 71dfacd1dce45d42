#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "keys/key_cache.h"
#include "keys/table_pool.h"

namespace nimbra::keys::test {

// A fresh host folder, removed with its content afterwards. Drops this
// process's connections and caches so that no test sees another's state.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "keys-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    CloseAllTables();
    ClearAllCaches();
  }
  ~TempDir() {
    CloseAllTables();
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Host path of a file in the folder.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace nimbra::keys::test
