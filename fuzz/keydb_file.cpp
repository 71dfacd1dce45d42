// The key database over arbitrary file bytes: a damaged, truncated or
// hostile database file must give logged errors and empty results, never a
// crash. The same bytes are also read as an older key file (".db").
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "keys/key_cache.h"
#include "keys/keys_db.h"
#include "keys/old_key_file.h"
#include "keys/table_pool.h"
#include "testsupport/temp_folder.h"

namespace {

// Removed when the program ends.
const std::filesystem::path& Dir() {
  static const nimbra::testsupport::TempFolder dir("fuzz-keydb");
  return dir.Path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace nimbra::keys;
  CloseAllTables();
  ClearAllCaches();
  std::error_code ignored;
  for (const char* name :
       {"RECIPS.DAT", "RECIPS.DAT-wal", "RECIPS.DAT-shm", "RECIPS.DAT.ini", "DBERROR.LOG"})
    std::filesystem::remove(Dir() / name, ignored);
  const std::string path = (Dir() / "RECIPS.DAT").string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));

  const std::vector<std::uint8_t> random(100, 1);
  TKeysDB db;
  db.Open(path, "", random, "", "0123456789012345678901234567890123456789");
  KeyRecord record;
  const std::string id = db.FindKeyId("a@b.c, d@e.f", "VRX", true);
  if (db.ReadKey(id.empty() ? std::string("K") : id, record)) {
    std::string key1, key2;
    db.PublicKeyLetters(record, key1, key2);
    db.PublicBlockText(record);
    record.aliases += ",new@x.y";
    db.WriteKey(record);
  }
  KeyRecord fresh;
  fresh.keyId = "NEW";
  fresh.containerType = "VRX";
  fresh.aliases = "a@b.c";
  db.WriteKey(fresh);
  db.ReadKey("NEW", fresh);
  db.Close();

  try {
    ParseOldKeyFile(std::vector<std::uint8_t>(data, data + size));
  } catch (const EOldKeyFile&) {
  }
  return 0;
}
