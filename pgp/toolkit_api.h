#pragma once

// The calling interface of the PGP toolkit library ("pgpsdk.dll"): its status
// codes, preference numbers and the signatures of the entry points the
// wizard calls by name. The stand-in (pgp/toolkit_library.h) exports them and
// the binding (pgp/toolkit_binding.h) resolves them.
//
// Objects of the toolkit (contexts, key sets, file specifications) are
// 32-bit handles; data the toolkit returns (paths, preference data) is
// memory it owns until the caller gives it back with PGPFreeData.

#include <cstdint>
#include <string_view>

namespace nimbra::pgp {

using PgpStatus = std::int32_t;
using PgpHandle = std::uint32_t;

// Status codes (docs/pgp-toolkit.md).
inline constexpr PgpStatus kPgpOk = 0;
inline constexpr PgpStatus kPgpBadParams = -12000;
inline constexpr PgpStatus kPgpBadHandle = -12001;
inline constexpr PgpStatus kPgpNotInitialized = -12002;
inline constexpr PgpStatus kPgpVersionMismatch = -12003;
inline constexpr PgpStatus kPgpPrefNotFound = -12004;
inline constexpr PgpStatus kPgpFileError = -12005;
inline constexpr PgpStatus kPgpKeyGenerationFailed = -12006;
inline constexpr PgpStatus kPgpKeyRingDamaged = -12007;

// The interface version a caller asks for in PGPNewContext.
inline constexpr std::uint32_t kPgpApiVersion = 0x2000010;

// Preference numbers of the toolkit.
inline constexpr std::uint32_t kPrefPublicKeyRing = 0;
inline constexpr std::uint32_t kPrefPrivateKeyRing = 1;
inline constexpr std::uint32_t kPrefRandomSeedFile = 2;
inline constexpr std::uint32_t kPrefData = 3;

// Length of a key identifier as PGPGenerateKey writes it: 16 upper-case
// hexadecimal digits and a terminating NUL.
inline constexpr std::size_t kPgpKeyIdSize = 17;

inline constexpr std::string_view kToolkitFileName = "pgpsdk.dll";

namespace entry {
using SdkInit = PgpStatus();
using SdkCleanup = PgpStatus();
using NewContext = PgpStatus(std::uint32_t apiVersion, PgpHandle* context);
using FreeContext = PgpStatus(PgpHandle context);
using OpenDefaultKeyRings = PgpStatus(PgpHandle context, std::uint32_t flags, PgpHandle* keySet);
using FreeKeySet = PgpStatus(PgpHandle keySet);
using NewFileSpecFromFullPath = PgpStatus(PgpHandle context, const char* path, PgpHandle* spec);
using GetFullPathFromFileSpec = PgpStatus(PgpHandle spec, char** path);
using FreeFileSpec = PgpStatus(PgpHandle spec);
using PrefSetFileSpec = PgpStatus(PgpHandle context, std::uint32_t pref, PgpHandle spec);
using PrefGetFileSpec = PgpStatus(PgpHandle context, std::uint32_t pref, PgpHandle* spec);
using PrefSetData = PgpStatus(PgpHandle context, std::uint32_t pref, const void* data,
                              std::uint32_t size);
using PrefGetData = PgpStatus(PgpHandle context, std::uint32_t pref, void** data,
                              std::uint32_t* size);
using SavePrefs = PgpStatus(PgpHandle context);
using FreeData = PgpStatus(void* data);
// Makes a key pair for the user id under the pass phrase, valid for the
// days given, adds it to the key set and saves the key set's rings; the new
// key's identifier goes to keyId (kPgpKeyIdSize bytes).
using GenerateKey = PgpStatus(PgpHandle keySet, const char* userId, const char* passPhrase,
                              std::uint32_t validityDays, char* keyId);
}  // namespace entry

}  // namespace nimbra::pgp
