#pragma once

#include <cstdint>

namespace nimbra::keys {

class TKeysDB;
class KeyTables;

// Fills a newly created database file from an older key file of the same
// name with the extension "db" in its directory (see old_key_file.h), when
// there is one. Blocks are protected under the password of `source`, the
// side of the pair the new file is on. A key with a public block also gets
// three lines in "DEBUG.TXT" beside the database: KEY_ID + " " + PublicKey1,
// KEY_ID + " " + PublicKey2 and a line of underscores. A malformed older
// file is logged to "DBERROR.LOG" and imports nothing.
void ImportOlderKeys(TKeysDB& db, KeyTables& target, std::uint8_t source);

}  // namespace nimbra::keys
