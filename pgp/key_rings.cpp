#include "pgp/key_rings.h"

#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <cstring>
#include <memory>

#include "platform/files/path.h"

namespace nimbra::pgp {
namespace {

struct FfiDeleter {
  void operator()(rnp_ffi_st* ffi) const { rnp_ffi_destroy(ffi); }
};
struct InputDeleter {
  void operator()(rnp_input_st* input) const { rnp_input_destroy(input); }
};
struct OutputDeleter {
  void operator()(rnp_output_st* output) const { rnp_output_destroy(output); }
};
struct GenerateDeleter {
  void operator()(rnp_op_generate_st* op) const { rnp_op_generate_destroy(op); }
};
struct KeyDeleter {
  void operator()(rnp_key_handle_st* key) const { rnp_key_handle_destroy(key); }
};
using Ffi = std::unique_ptr<rnp_ffi_st, FfiDeleter>;
using Input = std::unique_ptr<rnp_input_st, InputDeleter>;
using Output = std::unique_ptr<rnp_output_st, OutputDeleter>;
using Generate = std::unique_ptr<rnp_op_generate_st, GenerateDeleter>;
using Key = std::unique_ptr<rnp_key_handle_st, KeyDeleter>;

void Check(rnp_result_t result, PgpStatus status, const std::string& what) {
  if (result != RNP_SUCCESS)
    throw KeyRingError(status, what + " (" + rnp_result_to_string(result) + ")");
}

void LoadRing(rnp_ffi_t ffi, platform::Machine& machine, const std::string& path,
              std::uint32_t which) {
  if (!machine.FileExists(path)) return;
  std::string bytes;
  try {
    bytes = machine.ReadFile(path);
  } catch (const std::exception& e) {
    throw KeyRingError(kPgpFileError, "the key ring " + path + " cannot be read: " + e.what());
  }
  if (bytes.empty()) return;
  rnp_input_t raw = nullptr;
  Check(rnp_input_from_memory(&raw, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                              bytes.size(), false),
        kPgpFileError, "the key ring " + path + " cannot be read");
  Input input(raw);
  Check(rnp_load_keys(ffi, "GPG", input.get(), which), kPgpKeyRingDamaged,
        "the key ring " + path + " holds no OpenPGP keys");
}

std::string RingText(rnp_ffi_t ffi, std::uint32_t which) {
  rnp_output_t raw = nullptr;
  Check(rnp_output_to_memory(&raw, 0), kPgpFileError, "no memory for a key ring");
  Output output(raw);
  Check(rnp_save_keys(ffi, "GPG", output.get(), which), kPgpFileError,
        "the key ring cannot be written");
  std::uint8_t* buffer = nullptr;
  std::size_t length = 0;
  Check(rnp_output_memory_get_buf(output.get(), &buffer, &length, false), kPgpFileError,
        "the key ring cannot be written");
  return std::string(reinterpret_cast<const char*>(buffer), length);
}

void SaveRing(platform::Machine& machine, const std::string& path, const std::string& text) {
  const std::string folder = platform::ExtractFileDir(path);
  if (!folder.empty()) machine.ForceDirectories(folder);
  try {
    machine.WriteFile(path, text);
  } catch (const std::exception& e) {
    throw KeyRingError(kPgpFileError, "the key ring " + path + " cannot be saved: " + e.what());
  }
}

// The pass phrase for unlocking the new primary key while its subkey is bound.
bool GivePassPhrase(rnp_ffi_t, void* context, rnp_key_handle_t, const char*, char buffer[],
                    std::size_t size) {
  const std::string& pass = *static_cast<const std::string*>(context);
  if (pass.size() + 1 > size) return false;
  std::memcpy(buffer, pass.c_str(), pass.size() + 1);
  return true;
}

Key MakeKey(rnp_ffi_t ffi, rnp_key_handle_t primary, const std::string& userId,
            const std::string& passPhrase, std::uint32_t seconds) {
  rnp_op_generate_t raw = nullptr;
  if (primary == nullptr)
    Check(rnp_op_generate_create(&raw, ffi, "EDDSA"), kPgpKeyGenerationFailed,
          "the key cannot be made");
  else
    Check(rnp_op_generate_subkey_create(&raw, ffi, primary, "ECDH"), kPgpKeyGenerationFailed,
          "the subkey cannot be made");
  Generate op(raw);
  if (primary == nullptr)
    Check(rnp_op_generate_set_userid(op.get(), userId.c_str()), kPgpBadParams,
          "the user id is refused");
  else
    Check(rnp_op_generate_set_curve(op.get(), "Curve25519"), kPgpKeyGenerationFailed,
          "the subkey cannot be made");
  Check(rnp_op_generate_set_expiration(op.get(), seconds), kPgpBadParams,
        "the validity is refused");
  Check(rnp_op_generate_set_protection_password(op.get(), passPhrase.c_str()),
        kPgpKeyGenerationFailed, "the key cannot be protected");
  Check(rnp_op_generate_execute(op.get()), kPgpKeyGenerationFailed, "the key cannot be made");
  rnp_key_handle_t key = nullptr;
  Check(rnp_op_generate_get_key(op.get(), &key), kPgpKeyGenerationFailed, "the key cannot be made");
  return Key(key);
}

}  // namespace

std::string AddKeyPair(platform::Machine& machine, const KeyRingFiles& rings,
                       const std::string& userId, const std::string& passPhrase,
                       std::uint32_t validityDays) {
  if (userId.empty() || validityDays == 0 || validityDays > 0xFFFFFFFFu / 86400u)
    throw KeyRingError(kPgpBadParams, "a key needs a user id and a validity");
  rnp_ffi_t raw = nullptr;
  Check(rnp_ffi_create(&raw, "GPG", "GPG"), kPgpKeyGenerationFailed, "RNP cannot start");
  Ffi ffi(raw);
  std::string pass = passPhrase;
  rnp_ffi_set_pass_provider(ffi.get(), GivePassPhrase, &pass);
  LoadRing(ffi.get(), machine, rings.publicRing, RNP_LOAD_SAVE_PUBLIC_KEYS);
  LoadRing(ffi.get(), machine, rings.privateRing, RNP_LOAD_SAVE_SECRET_KEYS);

  const std::uint32_t seconds = validityDays * 86400u;
  Key primary = MakeKey(ffi.get(), nullptr, userId, pass, seconds);
  MakeKey(ffi.get(), primary.get(), userId, pass, seconds);

  char* id = nullptr;
  Check(rnp_key_get_keyid(primary.get(), &id), kPgpKeyGenerationFailed, "the key has no id");
  const std::string keyId = id;
  rnp_buffer_destroy(id);

  const std::string secret = RingText(ffi.get(), RNP_LOAD_SAVE_SECRET_KEYS);
  const std::string pub = RingText(ffi.get(), RNP_LOAD_SAVE_PUBLIC_KEYS);
  SaveRing(machine, rings.privateRing, secret);
  SaveRing(machine, rings.publicRing, pub);
  return keyId;
}

}  // namespace nimbra::pgp
