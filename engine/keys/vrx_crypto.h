#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "engine/entropy/mouse_capture.h"
#include "engine/entropy/mouse_source.h"
#include "engine/entropy/random_gen.h"
#include "engine/keys/key.h"
#include "engine/keys/vrx_header.h"
#include "engine/keystream/combiner.h"
#include "engine/keystream/generator_sizes.h"
#include "engine/keystream/mixture_generator.h"

namespace nimbra::engine {

// The engine's front: key pairs in GF(2^n) (n the largest register of the
// size set), and streams enciphered for a public key. It owns the keystream
// generator, the combiner, the private, public and per-message keys and,
// in TVRXCrypto, a mouse-fed random source.
class TCustomVRXCrypto {
 public:
  using TNotifyEvent = std::function<void(TCustomVRXCrypto& sender)>;
  using TNeedRandomBitsEvent = std::function<void(TCustomVRXCrypto& sender, int bits_needed)>;
  using TCiphertextHeaderEvent =
      std::function<void(TCustomVRXCrypto& sender, TCiphertextHeader& header)>;

  static constexpr TGeneratorSizes kDefaultSizes = 22;
  static constexpr int kDefaultBlockSize = 2048;
  static constexpr int kDefaultRandomBufferSize = 8192;

  TCustomVRXCrypto();
  virtual ~TCustomVRXCrypto();
  TCustomVRXCrypto(const TCustomVRXCrypto&) = delete;
  TCustomVRXCrypto& operator=(const TCustomVRXCrypto&) = delete;

  // Published events. OnBeforeExponentiate and OnAfterExponentiate are never
  // fired by the component.
  TNotifyEvent OnAfterExponentiate;
  TNotifyEvent OnBeforeExponentiate;
  TNeedRandomBitsEvent OnNeedRandomBits;
  TCiphertextHeaderEvent OnReadCiphertextHeader;
  TCiphertextHeaderEvent OnWriteCiphertextHeader;
  // Lets the user interface process pending messages during encryption.
  std::function<void()> OnProcessMessages;

  virtual std::uint32_t DecryptStream(Stream& output, Stream& input) = 0;
  virtual void CaptureMouseEntropy(TCustomVRXCrypto& sender, int bits_needed);
  virtual std::uint32_t EncryptStream(Stream& output, Stream& input, bool store_key_id,
                                      std::string& key_id_text) = 0;
  // "X" + the decimal size set, for example X28.
  virtual std::string SizesName() const;
  virtual void AdoptPrivateKeySizes(TKey& key);
  virtual void AdoptPublicKeySizes(TKey& key);
  virtual void CreateKeys();
  virtual void CreateGenerator() = 0;
  virtual void SetBlockSize(int bytes);
  virtual void SetGeneratorSizes(TGeneratorSizes sizes) = 0;
  virtual void SetGranularity(TGranularity granularity);
  virtual void SetOnProgress(TNotifyEvent handler);
  virtual void SetRandomBufferSize(int bits);
  virtual void SetTableDirectory(const std::string& directory);
  virtual void MakePrivateKey(const std::uint8_t* bytes, int count) = 0;
  virtual void MakePrivateKeyFromStream(Stream& stream);
  // The per-message exponent into MessageKey (bits = 0: the full length).
  virtual void MakeRandomKey(int bits);
  virtual void RebuildEngine();

  int BlockSize() const { return block_size_; }
  TGeneratorSizes GeneratorSizes() const { return generator_sizes_; }
  TGranularity Granularity() const { return granularity_; }
  int RandomBufferSize() const { return random_buffer_size_; }
  const std::string& TableDirectory() const { return table_directory_; }
  // Settings only: power tables are built per exponentiation, never cached.
  bool TableLoad = true;
  bool TableSave = true;
  const TNotifyEvent& OnProgress() const { return on_progress_; }

  TPrivateKey& PrivateKey() { return *private_key_; }
  TPublicKey& PublicKey() { return *public_key_; }
  TKey& MessageKey() { return *message_key_; }
  TCombiner& Combiner() { return *combiner_; }
  TS3MixtureGenerator& Generator() { return *generator_; }

  // Not owned; when set, per-message keys come from it instead of the mouse.
  TRandomGen* RandomGen = nullptr;

  // The mouse source (null in the base class).
  virtual TMouseRandomSource* RandomSource() { return nullptr; }

 protected:
  void ProcessMessages() {
    if (OnProcessMessages) OnProcessMessages();
  }
  // n and m of the largest register of the size set.
  GeneratorSizeInfo FieldOf(TGeneratorSizes sizes) const;

  TGeneratorSizes generator_sizes_ = kDefaultSizes;
  std::unique_ptr<TS3MixtureGenerator> generator_;
  std::unique_ptr<TCombiner> combiner_;
  // Created only by the derived class; its existence freezes the buffer size.
  std::unique_ptr<TMouseRandomSource> random_source_;

 private:
  int block_size_ = kDefaultBlockSize;
  TGranularity granularity_ = gByte;
  int random_buffer_size_ = kDefaultRandomBufferSize;
  std::string table_directory_;
  TNotifyEvent on_progress_;
  std::unique_ptr<TPrivateKey> private_key_;
  std::unique_ptr<TPublicKey> public_key_;
  std::unique_ptr<TKey> message_key_;
  // Keys replaced while one of them was still loading (a key that adopts
  // new sizes is replaced from inside its own load); freed on the next
  // replacement or with the component.
  std::vector<std::unique_ptr<TKey>> retired_keys_;
};

class TVRXCrypto : public TCustomVRXCrypto {
 public:
  static constexpr int kScrambleSteps = 1000000;
  static constexpr int kMaxPrivateKeyStreamBytes = 512;

  TVRXCrypto();
  ~TVRXCrypto() override;

  std::uint32_t DecryptStream(Stream& output, Stream& input) override;
  void CaptureMouseEntropy(TCustomVRXCrypto& sender, int bits_needed) override;
  std::uint32_t EncryptStream(Stream& output, Stream& input, bool store_key_id,
                              std::string& key_id_text) override;
  void CreateGenerator() override;
  void SetGeneratorSizes(TGeneratorSizes sizes) override;
  void MakePrivateKey(const std::uint8_t* bytes, int count) override;

  // Subkey 1 of key := subkey 1 * x^steps: steps clocks of its register.
  virtual void ScrambleKey(TKey& key, int steps);
  TMouseRandomSource* RandomSource() override { return random_source_.get(); }
  virtual void SetRandomSource(std::unique_ptr<TMouseRandomSource> source);
  // n of the largest register (0 for an empty set).
  virtual int LargestGeneratorLength() const;
  // public subkey 1 := x^(private subkey 1).
  virtual void ComputePublicKey(TPublicKey& public_key, const TPrivateKey& private_key);
  // Every register of the generator set to x.
  virtual void ResetGeneratorRegisters();

  // The user interface's side of the capture dialog (not owned); without it
  // CaptureMouseEntropy gathers nothing.
  TMouseCaptureHost* CaptureHost = nullptr;
};

}  // namespace nimbra::engine
