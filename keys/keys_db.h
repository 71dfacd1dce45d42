#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/secret_buffer.h"
#include "core/stream.h"
#include "keys/db_file.h"
#include "keys/key_record.h"
#include "keys/key_tables.h"
#include "keys/letters.h"

namespace nimbra::engine {
class TSecretKey;
}

namespace nimbra::keys {

// A pair of key databases: a first file and an optional second one (the
// user's own "MYKEYS.DAT" with the shared "MYKeys.DAT", or the user's
// "RECIPS.DAT" with the shared "Recips.DAT"). Created closed; callers open it
// for one task, work, and close it. Files are host paths.
class TKeysDB {
 public:
  TKeysDB();
  ~TKeysDB();
  TKeysDB(const TKeysDB&) = delete;
  TKeysDB& operator=(const TKeysDB&) = delete;

  // Stores the passwords and the random bytes. A file whose password is
  // empty is not used. A file that does not exist, in a directory that does,
  // is created with its tables, and the keys of an older file of the same
  // name with the extension "db" are imported into it; when the directory is
  // missing or the creation fails, the file is not used. False, doing
  // nothing, when already open. The second file is the shared set's, on a
  // folder other computers use; `firstShared` says the first one is too (a
  // users file on a network drive). A connection to a shared file is closed
  // after each operation; one to the first file may stay open until Close.
  bool Open(const std::string& firstFile, const std::string& secondFile,
            std::span<const std::uint8_t> randomBytes, std::string_view secondPassword,
            std::string_view firstPassword, bool firstShared = false);
  // Closes the connections to both files and wipes the passwords, the random
  // bytes and the protection's keyed state. False when not open.
  bool Close();
  bool IsOpen() const { return open_; }

  // The files in use (upper-cased names), empty when not used.
  std::string FirstName() const { return first_ ? first_->File().name : std::string(); }
  std::string SecondName() const { return second_ ? second_->File().name : std::string(); }

  // From the first file, else the second; sets the source flag to 0 or 1.
  bool ReadKey(const std::string& keyId, KeyRecord& record);
  // The KEY_IDs of the first file (set 0) or the second (set 1).
  std::vector<std::string> KeyIds(int set);
  // The KEY_ID linked to one of the comma-separated addresses and the key
  // type, or empty. The second file is asked first (when it is a file of its
  // own), then the first, whose answer wins when it has one. With wildcard,
  // a file that knows none of the addresses is asked again for "*@" + the
  // part of each address after its "@".
  std::string FindKeyId(std::string_view address, std::string_view keyType, bool wildcard);
  // Into the first file when the source flag is 0, else the second; sets
  // UPDATE_STAMP to now. False when that file is not used or the write failed.
  bool WriteKey(KeyRecord& record);

  // Protects each block longer than 0 under the password of the record's
  // source and stores it (private in BLOCK2, public in BLOCK1); a length of
  // 0 or less empties that block.
  void SetBlocks(KeyRecord& record, const std::uint8_t* privateBlock, std::int32_t privateLength,
                 const std::uint8_t* publicBlock, std::int32_t publicLength);
  void SetPublicFromLetters(KeyRecord& record, std::string_view first, std::string_view second);
  void SetPrivateFromLetters(KeyRecord& record, std::string_view first, std::string_view second);

  // The letter form of the plain public block; false when it cannot be
  // decrypted.
  bool PublicKeyLetters(const KeyRecord& record, std::string& publicKey1, std::string& publicKey2);
  // The plain public block as text (for keys whose public block is a text,
  // such as "DSA"); empty when it cannot be decrypted.
  std::string PublicBlockText(const KeyRecord& record);
  // The plain public block into stream, positioned at 0; false when
  // decryption raised an error.
  bool PublicBlockStream(const KeyRecord& record, Stream& stream);

  // The protected form of a plain block under the password of a source, and
  // the plain block of a protected one (nullopt when it cannot be decrypted).
  std::vector<std::uint8_t> Protect(std::span<const std::uint8_t> plain, std::uint8_t source);
  std::optional<SecretBuffer> Unprotect(std::span<const std::uint8_t> stored, std::uint8_t source);

 private:
  std::optional<KeyTables> OpenFile(const std::string& path, bool shared, bool& created);
  const SecretBuffer& PasswordOf(std::uint8_t source) const;
  SecretBuffer FreshRandom();
  engine::TSecretKey& Secret();

  bool open_ = false;
  std::optional<KeyTables> first_;
  std::optional<KeyTables> second_;
  SecretBuffer passwords_[2];  // of the first and the second file
  SecretBuffer randomBytes_;
  std::uint64_t protections_ = 0;
  // Made on first use and kept while open: it is costly to make.
  std::unique_ptr<engine::TSecretKey> secret_;
};

}  // namespace nimbra::keys
