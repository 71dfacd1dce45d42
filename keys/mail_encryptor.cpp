#include "keys/mail_encryptor.h"

#include <algorithm>

#include "core/sha1.h"
#include "core/stream.h"
#include "core/strings.h"
#include "engine/entropy/entropy.h"
#include "engine/keys/vrx_crypto.h"
#include "keys/clock.h"
#include "keys/keys_db.h"
#include "keys/mail_envelope.h"
#include "keys/nimbra_crypto.h"

namespace nimbra::keys {

namespace {

// Level 2 when the policy compresses a message of this size.
int CompressionLevel(const std::optional<Policy>& policy, std::size_t size) {
  if (!policy) return 2;
  switch (policy->compression) {
    case 0:
      return 0;
    case 2:
      return size <= static_cast<std::size_t>(std::max(policy->compressLimit, 0)) ? 2 : 0;
    default:
      return 2;
  }
}

// The engine reads its exchange key and ciphertext header without looking at
// every byte (reserved fields, padding): they must read back to the very bytes
// written, so that no change in front of the ciphertext passes unnoticed.
void RequireCanonicalPrefix(MemoryStream& cipher) {
  engine::TKey exchange(0);
  exchange.LoadFromStream(cipher);
  engine::TCiphertextHeader header;
  header.LoadFromStream(cipher);
  const auto end = static_cast<std::size_t>(cipher.Position());
  // The sender fills only subkey 1 of the exchange key, leaves the padding
  // bits of its last word zero, and sets no header field.
  const engine::TSubKey* value = exchange.Subkey(1);
  if (value == nullptr) throw EnvelopeError("envelope key exchange block is damaged");
  const int padding = value->WordCount() * 32 - value->BitCount();
  if (padding > 0 && (value->Words()[value->WordCount() - 1] & ((1u << padding) - 1)) != 0) {
    throw EnvelopeError("envelope key exchange block is damaged");
  }
  engine::TKey expected(exchange.Sizes());
  expected.SetSubkey(1, value);
  MemoryStream again;
  expected.SaveToStream(again);
  engine::TCiphertextHeader().SaveToStream(again);
  if (again.Data().size() != end ||
      !std::equal(again.Data().begin(), again.Data().end(), cipher.Data().begin())) {
    throw EnvelopeError("envelope key exchange block is damaged");
  }
  cipher.Seek(0, SeekOrigin::Begin);
}

}  // namespace

void MailEncryptor::Progress(const std::string& text) {
  if (OnProgress) OnProgress(text);
}

bool MailEncryptor::PrepareMessage(std::span<const std::uint8_t> plain) {
  prepared_ = false;
  if (!crypto_.LoggedOn()) {
    error_ = "Not logged on";
    return false;
  }
  const auto policy = crypto_.Policies().FindPolicy(crypto_.PolicyName());
  if (policy && !policy->mayEncrypt) {
    error_ = "Encryption not allowed by policy";
    return false;
  }
  digest_ = Sha1(plain);
  const int level = CompressionLevel(policy, plain.size());
  Progress("Compressing Message");
  try {
    compressed_ = CompressMessage(plain, level);
  } catch (const EnvelopeError& e) {
    error_ = e.what();
    return false;
  }
  if (level > 0) {
    const std::size_t saved = plain.empty() || compressed_.size() >= plain.size()
                                  ? 0
                                  : (plain.size() - compressed_.size()) * 100 / plain.size();
    Progress("Compression Saved " + std::to_string(saved) + "%");
  } else {
    Progress("Compression Not Enabled");
  }
  prepared_ = true;
  return true;
}

std::optional<std::vector<std::uint8_t>> MailEncryptor::EncryptFor(const std::string& recipient) {
  if (!prepared_) return std::nullopt;
  Progress("Encrypting..");
  status += ",to " + recipient;
  TKeysDB db;
  KeyRecord key;
  if (!crypto_.OpenRecipients(db)) {
    error_ = "Key Not in Database as expected";
    return std::nullopt;
  }
  const std::string keyId = db.FindKeyId(recipient, "VRX", true);
  if (keyId.empty() || !db.ReadKey(keyId, key)) {
    error_ = "Key Not in Database as expected";
    return std::nullopt;
  }
  error_ = "Key failed Test.";
  if (!key.encrypt || key.expires < Now()) return std::nullopt;

  engine::TVRXCrypto engine;
  try {
    MemoryStream block;
    if (!db.PublicBlockStream(key, block)) throw std::runtime_error("public block unreadable");
    engine.SetTableDirectory(crypto_.tableDirectory);
    engine.SetBlockSize(256);
    engine.SetGranularity(engine::gBit);
    engine.PublicKey().LoadFromStream(block);
  } catch (const std::exception& e) {
    error_ = std::string("Key Load Error ") + e.what();
    return std::nullopt;
  }
  error_.clear();
  try {
    Trailer trailer;
    trailer.keyId = key.keyId;
    trailer.streamLength = static_cast<std::uint32_t>(compressed_.size());
    trailer.digest = digest_;
    trailer.derived =
        MakeDerived(key.keyId, crypto_.DatabasePassword(key.source).Bytes(), recipient);
    MemoryStream input(compressed_);
    const auto tail = WriteTrailer(trailer);
    input.Seek(0, SeekOrigin::End);
    input.WriteBuffer(tail.data(), tail.size());
    input.Seek(0, SeekOrigin::Begin);

    engine::TRandomGen random;
    engine::SeedFromOs(random);
    engine.RandomGen = &random;

    MemoryStream output(WriteEnvelopeHeader(recipient, key.keyId));
    output.Seek(0, SeekOrigin::End);
    std::string written_id;
    engine.EncryptStream(output, input, false, written_id);
    return output.Data();
  } catch (const std::exception&) {
    error_ += " Encrypt MAIL FAILED";
    return std::nullopt;
  }
}

bool MailEncryptor::ShowSubject() const {
  return crypto_.currentKey.showSubject;
}

std::vector<std::uint8_t> OpenMailEnvelope(TNimbraCrypto& crypto,
                                           std::span<const std::uint8_t> envelope) {
  const EnvelopeHeader header = ReadEnvelopeHeader(envelope);
  TKeysDB db;
  KeyRecord key;
  if (!crypto.OpenOwnKeys(db) || !db.ReadKey(header.keyId, key) || key.block2.Length() == 0) {
    throw EnvelopeError("no private key " + header.keyId + " for this envelope");
  }
  // The address in the header is outside the ciphertext: it must be one of
  // the key's own (or its domain's wildcard) so that a changed one is noticed.
  const std::string domain =
      header.recipient.substr(std::min(header.recipient.find('@'), header.recipient.size()));
  bool addressed = false;
  for (const std::string& alias : SplitCommaList(key.aliases)) {
    addressed = addressed || SameText(alias, header.recipient) ||
                (!domain.empty() && SameText(alias, "*" + domain));
  }
  if (!addressed)
    throw EnvelopeError("envelope address " + header.recipient + " is not one of key " +
                        header.keyId);
  const auto privateBlock = db.Unprotect(key.block2.Bytes(), key.source);
  if (!privateBlock) throw EnvelopeError("private key " + header.keyId + " cannot be read");
  MemoryStream prepared;
  try {
    engine::TVRXCrypto engine;
    engine.SetTableDirectory(crypto.tableDirectory);
    MemoryStream block(privateBlock->data(), privateBlock->size());
    engine.PrivateKey().LoadFromStream(block);
    MemoryStream cipher(envelope.data() + header.size, envelope.size() - header.size);
    RequireCanonicalPrefix(cipher);
    engine.DecryptStream(prepared, cipher);
  } catch (const std::exception& e) {
    throw EnvelopeError(std::string("envelope cannot be decrypted: ") + e.what());
  }
  return OpenPreparedMessage(prepared.Data(), header.keyId);
}

}  // namespace nimbra::keys
