#include "keys/keys_db.h"

#include <openssl/rand.h>
#include <sys/stat.h>

#include "core/sha1.h"
#include "engine/keys/secret_key.h"
#include "keys/key_schema.h"
#include "keys/old_key_import.h"
#include "keys/sqlite_db.h"
#include "keys/table_pool.h"
#include "platform/files/file_stamp.h"

namespace nimbra::keys {

namespace {

bool PathExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether two host paths name one database file under the machine's rules:
// one folder, and names alike without regard to case ("MYKEYS.DAT" and
// "MYKeys.DAT" when both sets resolve to one folder).
bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  const DbFile fa = DbFile::Make(a), fb = DbFile::Make(b);
  if (fa.name != fb.name) return false;
  return platform::FileStamp::Of(fa.Directory()).SameFile(platform::FileStamp::Of(fb.Directory()));
}

// The tables of a new file, tried again while another process holds the
// file during its own creation.
bool CreateWithRetries(const DbFile& file) {
  for (int attempt = 0;; ++attempt) {
    try {
      return CreateTables(file);
    } catch (const EDBEngineError& error) {
      if (error.Code() != 5 || attempt >= kOpenRetries) throw;
    }
  }
}

}  // namespace

TKeysDB::TKeysDB() = default;

TKeysDB::~TKeysDB() {
  Close();
}

engine::TSecretKey& TKeysDB::Secret() {
  if (!secret_) secret_ = std::make_unique<engine::TSecretKey>();
  return *secret_;
}

bool TKeysDB::Open(const std::string& firstFile, const std::string& secondFile,
                   std::span<const std::uint8_t> randomBytes, std::string_view secondPassword,
                   std::string_view firstPassword, bool firstShared) {
  if (open_) return false;
  randomBytes_.Assign(randomBytes);
  // Two spellings of one file are one file, with one cache and one stamp:
  // the spelling that exists on disk, else the first file's.
  std::string first = firstFile;
  std::string second = secondFile;
  if (SameFile(first, second)) {
    if (!PathExists(first) && PathExists(second)) first = second;
    second = first;
  }
  bool createdFirst = false;
  bool createdSecond = false;
  first_ = firstPassword.empty() ? std::nullopt : OpenFile(first, firstShared, createdFirst);
  second_ = secondPassword.empty() ? std::nullopt : OpenFile(second, true, createdSecond);
  passwords_[0].Assign(first_ ? firstPassword : std::string_view());
  passwords_[1].Assign(second_ ? secondPassword : std::string_view());
  open_ = true;
  if (createdFirst) ImportOlderKeys(*this, *first_, 0);
  if (createdSecond) ImportOlderKeys(*this, *second_, 1);
  return true;
}

std::optional<KeyTables> TKeysDB::OpenFile(const std::string& path, bool shared, bool& created) {
  created = false;
  if (path.empty()) return std::nullopt;
  DbFile file = DbFile::Make(path);
  file.shared = shared;
  if (!PathExists(path)) {
    if (!DirectoryExists(file.Directory())) return std::nullopt;
    try {
      created = CreateWithRetries(file);
    } catch (const EDBEngineError& error) {
      LogDbError(file, std::string("CreateTables -") + error.what());
      return std::nullopt;
    }
  }
  return KeyTables(file);
}

bool TKeysDB::Close() {
  if (!open_) return false;
  open_ = false;
  if (first_) CloseTables(first_->File());
  if (second_) CloseTables(second_->File());
  first_.reset();
  second_.reset();
  passwords_[0].Clear();
  passwords_[1].Clear();
  randomBytes_.Clear();
  secret_.reset();
  return true;
}

std::vector<std::string> TKeysDB::KeyIds(int set) {
  std::optional<KeyTables>& file = set == 0 ? first_ : second_;
  return file ? file->KeyIds() : std::vector<std::string>();
}

bool TKeysDB::ReadKey(const std::string& keyId, KeyRecord& record) {
  if (first_ && first_->ReadKey(keyId, record)) {
    record.source = 0;
    return true;
  }
  if (second_ && second_->ReadKey(keyId, record)) {
    record.source = 1;
    return true;
  }
  return false;
}

std::string TKeysDB::FindKeyId(std::string_view address, std::string_view keyType, bool wildcard) {
  std::string keyId;
  if (second_ && (!first_ || second_->File().Identity() != first_->File().Identity()))
    keyId = second_->ReadUrl(address, keyType, wildcard);
  if (first_) {
    std::string firstId = first_->ReadUrl(address, keyType, wildcard);
    if (!firstId.empty()) keyId = std::move(firstId);
  }
  return keyId;
}

bool TKeysDB::WriteKey(KeyRecord& record) {
  std::optional<KeyTables>& target = record.source == 0 ? first_ : second_;
  if (!target) return false;
  return target->WriteKey(record, true);
}

const SecretBuffer& TKeysDB::PasswordOf(std::uint8_t source) const {
  return passwords_[source == 0 ? 0 : 1];
}

SecretBuffer TKeysDB::FreshRandom() {
  // Every protected block gets a value of its own: the random bytes handed
  // to Open, a counter and fresh bytes of the system's source, hashed. Two
  // blocks enciphered under one value would share their keystream.
  SecretBuffer fresh(16);
  RAND_bytes(fresh.data(), static_cast<int>(fresh.size()));
  Sha1Hasher hasher;
  hasher.Update(randomBytes_.Bytes());
  ++protections_;
  hasher.Update(&protections_, sizeof protections_);
  hasher.Update(fresh.Bytes());
  Sha1Digest digest = hasher.Final();
  SecretBuffer random(digest);
  SecureWipe(digest.data(), digest.size());
  return random;
}

std::vector<std::uint8_t> TKeysDB::Protect(std::span<const std::uint8_t> plain,
                                           std::uint8_t source) {
  const SecretBuffer random = FreshRandom();
  engine::TSecretKey& secret = Secret();
  secret.RandomBytes = random.data();
  std::vector<std::uint8_t> result;
  secret.EncryptBytes(result, plain.data(), PasswordOf(source).Text(), plain.size());
  secret.RandomBytes = nullptr;
  return result;
}

std::optional<SecretBuffer> TKeysDB::Unprotect(std::span<const std::uint8_t> stored,
                                               std::uint8_t source) {
  if (stored.size() < engine::TSecretKey::kRandomSize) return std::nullopt;
  try {
    SecretBuffer result;
    Secret().DecryptBytes(result, stored.data(), PasswordOf(source).Text(), stored.size());
    result.Resize(stored.size() - engine::TSecretKey::kRandomSize);
    return result;
  } catch (const nimbra::Exception&) {
    return std::nullopt;
  }
}

void TKeysDB::SetBlocks(KeyRecord& record, const std::uint8_t* privateBlock,
                        std::int32_t privateLength, const std::uint8_t* publicBlock,
                        std::int32_t publicLength) {
  if (privateLength > 0 && privateBlock)
    record.block2.Assign(Protect({privateBlock, std::size_t(privateLength)}, record.source));
  else
    record.block2.Empty();
  if (publicLength > 0 && publicBlock)
    record.block1.Assign(Protect({publicBlock, std::size_t(publicLength)}, record.source));
  else
    record.block1.Empty();
}

void TKeysDB::SetPublicFromLetters(KeyRecord& record, std::string_view first,
                                   std::string_view second) {
  const SecretBuffer plain = FromLetters(first, second);
  if (plain.empty())
    record.block1.Empty();
  else
    record.block1.Assign(Protect(plain.Bytes(), record.source));
}

void TKeysDB::SetPrivateFromLetters(KeyRecord& record, std::string_view first,
                                    std::string_view second) {
  const SecretBuffer plain = FromLetters(first, second);
  if (plain.empty())
    record.block2.Empty();
  else
    record.block2.Assign(Protect(plain.Bytes(), record.source));
}

bool TKeysDB::PublicKeyLetters(const KeyRecord& record, std::string& publicKey1,
                               std::string& publicKey2) {
  const auto plain = Unprotect(record.block1.Bytes(), record.source);
  if (!plain) return false;
  LetterTexts letters = ToLetters(plain->Bytes());
  publicKey1 = std::move(letters.first);
  publicKey2 = std::move(letters.second);
  return true;
}

std::string TKeysDB::PublicBlockText(const KeyRecord& record) {
  const auto plain = Unprotect(record.block1.Bytes(), record.source);
  if (!plain) return {};
  return std::string(plain->Text());
}

bool TKeysDB::PublicBlockStream(const KeyRecord& record, Stream& stream) {
  const auto plain = Unprotect(record.block1.Bytes(), record.source);
  if (!plain) return false;
  stream.WriteBuffer(plain->data(), plain->size());
  stream.SetPosition(0);
  return true;
}

}  // namespace nimbra::keys
