#pragma once

#include <string>

#include "core/error.h"

// The exception tree of the crypto engine. Every class carries its fixed
// English message; classes with more than one message (or a value appended)
// take the text from the raiser, which uses the constants below.
namespace nimbra::engine {

#define NIMBRA_ENGINE_ERROR(Name, Parent)                          \
  class Name : public Parent {                                     \
   public:                                                         \
    explicit Name(const std::string& message) : Parent(message) {} \
  };

// Root of the engine's tree; never raised itself.
NIMBRA_ENGINE_ERROR(EVRXCryptoSys, nimbra::Exception)

// Errors of the crypto component.
NIMBRA_ENGINE_ERROR(EVRXCrypto, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(EVRXCryptoNoRandomBits, EVRXCrypto)
NIMBRA_ENGINE_ERROR(EVRXCryptoEmptyKey, EVRXCrypto)
NIMBRA_ENGINE_ERROR(EVRXCryptoInvalidGeneratorSizes, EVRXCrypto)

// Bit arrays.
NIMBRA_ENGINE_ERROR(EBitArray, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(EBitArrayInvalidIndex, EBitArray)
NIMBRA_ENGINE_ERROR(EBitArrayInvalidOperation, EBitArray)
NIMBRA_ENGINE_ERROR(EBitArrayTooLong, EBitArray)
NIMBRA_ENGINE_ERROR(EBitArrayZeroLength, EBitArray)
NIMBRA_ENGINE_ERROR(EBitArrayStreamSaveFailure, EBitArray)
NIMBRA_ENGINE_ERROR(EBitArrayStreamLoadFailure, EBitArray)

// Bit queues.
NIMBRA_ENGINE_ERROR(EBitQueue, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(EBitQueueInvalidExtract, EBitQueue)
NIMBRA_ENGINE_ERROR(EBitQueueInvalidInsert, EBitQueue)
NIMBRA_ENGINE_ERROR(EBitQueueInvalidPeek, EBitQueue)
NIMBRA_ENGINE_ERROR(EBitQueueOverflow, EBitQueue)
NIMBRA_ENGINE_ERROR(EBitQueueUnderflow, EBitQueue)

// The combiner.
NIMBRA_ENGINE_ERROR(ECombiner, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(ECombinerNoMemory, ECombiner)
NIMBRA_ENGINE_ERROR(ECombinerStreamFault, ECombiner)

// CRC-32.
NIMBRA_ENGINE_ERROR(ECRC32, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(ECRC32IllegalDataAccess, ECRC32)

// Exponentiation.
NIMBRA_ENGINE_ERROR(EExponentiator, EVRXCryptoSys)

// Keys.
NIMBRA_ENGINE_ERROR(EKey, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(EKeyStreamLoadFailure, EKey)
NIMBRA_ENGINE_ERROR(EKeyStreamSaveFailure, EKey)
NIMBRA_ENGINE_ERROR(EKeyBufferAccessViolation, EKey)
NIMBRA_ENGINE_ERROR(EKeyNoBits, EKey)
NIMBRA_ENGINE_ERROR(EKeyInvalidBitsOne, EKey)
NIMBRA_ENGINE_ERROR(EKeyInvalidBitsZero, EKey)
NIMBRA_ENGINE_ERROR(EKeyIncompatibleAssignment, EKey)

// Mixture generators.
NIMBRA_ENGINE_ERROR(EMixGen, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(ES3MixGen, EMixGen)
NIMBRA_ENGINE_ERROR(ES3MixGenCreateBadCount, ES3MixGen)
NIMBRA_ENGINE_ERROR(ES3MixGenNoCreate, ES3MixGen)
NIMBRA_ENGINE_ERROR(ES3MixGenInvalidDWORD, ES3MixGen)

// Power tables.
NIMBRA_ENGINE_ERROR(EPowerTable, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(EPowerTableStreamLoadFailure, EPowerTable)
NIMBRA_ENGINE_ERROR(EPowerTableStreamSaveFailure, EPowerTable)

// Binary headers.
NIMBRA_ENGINE_ERROR(EVRXHeader, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(EVRXHeaderBadPrefix, EVRXHeader)
NIMBRA_ENGINE_ERROR(EVRXHeaderStreamLoadFailure, EVRXHeader)
NIMBRA_ENGINE_ERROR(EVRXHeaderStreamSaveFailure, EVRXHeader)
NIMBRA_ENGINE_ERROR(EVRXHeaderWrongCode, EVRXHeader)

// Shift registers.
NIMBRA_ENGINE_ERROR(EShiftReg, EVRXCryptoSys)
NIMBRA_ENGINE_ERROR(EShiftRegNoCreate, EShiftReg)

// Pass-phrase protected data too short to hold its 20-byte random prefix.
NIMBRA_ENGINE_ERROR(ESecretKeyDataTooShort, EVRXCryptoSys)

// The seeded pseudo-random byte generator has its own small tree outside
// EVRXCryptoSys.
NIMBRA_ENGINE_ERROR(ERandomGenFailure, nimbra::Exception)
NIMBRA_ENGINE_ERROR(ERGIllegalSeedBufferAccess, ERandomGenFailure)
NIMBRA_ENGINE_ERROR(ERGNotSeeded, ERandomGenFailure)

#undef NIMBRA_ENGINE_ERROR

// The fixed messages. A trailing blank is part of the text where the raiser
// appends a value.
namespace msg {
inline constexpr const char* kNoRandomHandler =
    "No event handler assigned for OnNeedRandomBits event.";
inline constexpr const char* kNoRandomInput =
    "Unable to acquire sufficient random input to create random key.";
inline constexpr const char* kZeroBytesPrivateKey = "Zero bytes available for private key.";
inline constexpr const char* kUnableToReadStream = "Unable to read from stream.";
inline constexpr const char* kMustSpecify3 = "Must specify exactly 3 subgenerators.";

inline constexpr const char* kBitIndexInvalid = "Bit array index invalid: ";
inline constexpr const char* kByteIndexInvalid = "Bit array byte index invalid: ";
inline constexpr const char* kAssignTooShort = "TBitArray.Assign: source too short ";
inline constexpr const char* kXorLengths = "Attempt to XOR TBitArrays of different lengths";
inline constexpr const char* kAssignBufferFault =
    "Invalid memory access while assigning to a TBitArray";
inline constexpr const char* kMaxBitArrayLength = "Max. bit array length = ";
inline constexpr const char* kMaxCRCBitArrayLength = "Max. TCRCBitArray length = ";
inline constexpr const char* kZeroLength = "Attempt to create 0-length bit array";
inline constexpr const char* kBitArraySave = "Error saving BitArray to stream";
inline constexpr const char* kBitArrayLoad = "Error loading BitArray from stream";

inline constexpr const char* kQueueExceedsMax = " exceeds max ";
inline constexpr const char* kQueueExtractionBits = " queue extraction bits";
inline constexpr const char* kQueueInsertionBits = " exceeds max 31 queue insertion bits";
inline constexpr const char* kQueuePeekShort = "Not enough bits in queue for peek";
inline constexpr const char* kQueuePeekBits = " queue peek bits";
inline constexpr const char* kQueueOverflow = "Bit queue overflow";
inline constexpr const char* kQueueUnderflow = "Bit queue underflow";

inline constexpr const char* kCombinerNoMemory = "Can't allocate memory for buffer.";
inline constexpr const char* kCombinerStreamFault = "Stream/file processing fault";
inline constexpr const char* kCRC32DataAccess = "CRC32 data access violation";
inline constexpr const char* kZeroExponent = "Zero Exponent";

inline constexpr const char* kKeySizesEmpty = "Key sizes empty";
inline constexpr const char* kKeyLoad = "Error loading key from stream.";
inline constexpr const char* kKeySave = "Error saving key.";
inline constexpr const char* kKeyBufferAccess = "Buffer access violation while making key.";
inline constexpr const char* kKeyNoBits = "No bits specified for making key.";
inline constexpr const char* kKeyAllOne = "Subkey must not have all one bits.";
inline constexpr const char* kKeyAllZero = "Subkey must not have all zero bits.";
inline constexpr const char* kKeyIncompatible = "Incompatible key assignment.";

inline constexpr const char* kMixBadCount = "Exactly 3 subgenerators required.";
inline constexpr const char* kMixNoCreate = "Exception: Can't create mixture generator";
inline constexpr const char* kMixTooShort = "Invalid output: generator too short.";

inline constexpr const char* kPowerTableLoad = "Error loading power table from stream.";
inline constexpr const char* kPowerTableSave = "Error saving power table.";

inline constexpr const char* kHeaderBadPrefix = "Invalid header prefix ID: ";
inline constexpr const char* kHeaderLoad = "Error loading header: ";
inline constexpr const char* kHeaderSave = "Error saving header: ";
inline constexpr const char* kNotPowerTable = "Not a power table";
inline constexpr const char* kNotKey = "Not a key";
inline constexpr const char* kNotCiphertext = "Not a ciphertext.";

inline constexpr const char* kRegLengthInvalid = "Shift register length invalid: ";
inline constexpr const char* kRegMidTapInvalid = "Shift register mid-tap invalid: ";

inline constexpr const char* kSecretDataTooShort =
    "Protected data too short: at least 20 bytes are required.";

inline constexpr const char* kSeedBufferAccess = "Illegal memory access to RandomQueue seed buffer";
inline constexpr const char* kNotSeeded = "Must seed random generator before use.";
}  // namespace msg

}  // namespace nimbra::engine
