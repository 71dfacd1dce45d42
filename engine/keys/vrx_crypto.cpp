#include "engine/keys/vrx_crypto.h"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "engine/errors.h"
#include "engine/field/expo.h"
#include "engine/field/gf_expo.h"

namespace nimbra::engine {

namespace {

std::string ProgramFolder() {
  std::array<char, 4096> path{};
  const ssize_t len = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (len <= 0) return {};
  std::string folder(path.data(), static_cast<std::size_t>(len));
  const auto slash = folder.find_last_of('/');
  return slash == std::string::npos ? std::string{} : folder.substr(0, slash + 1);
}

bool IsZeroSubkey(const TBitArray& a) {
  for (int i = 0; i < a.WordCount(); ++i) {
    const int rest = a.BitCount() - 32 * i;
    const std::uint32_t mask = rest >= 32 ? ~0u : ~0u << (32 - rest);
    if ((a.Words()[i] & mask) != 0) return false;
  }
  return true;
}

}  // namespace

// ---- TCustomVRXCrypto ----

TCustomVRXCrypto::TCustomVRXCrypto() : table_directory_(ProgramFolder()) {
  OnNeedRandomBits = [this](TCustomVRXCrypto& sender, int bits) {
    CaptureMouseEntropy(sender, bits);
  };
}

TCustomVRXCrypto::~TCustomVRXCrypto() = default;

GeneratorSizeInfo TCustomVRXCrypto::FieldOf(TGeneratorSizes sizes) const {
  std::array<GeneratorSizeInfo, 7> members{};
  if (SizeMembersDescending(sizes, members) == 0) return {0, 0};
  return members[0];
}

void TCustomVRXCrypto::CaptureMouseEntropy(TCustomVRXCrypto&, int) {
  throw EVRXCryptoNoRandomBits(msg::kNoRandomHandler);
}

std::string TCustomVRXCrypto::SizesName() const {
  return "X" + std::to_string(static_cast<int>(generator_sizes_));
}

void TCustomVRXCrypto::AdoptPrivateKeySizes(TKey& key) {
  if (key.Sizes() == generator_sizes_) return;
  const TKey copy(key);
  SetGeneratorSizes(key.Sizes());
  private_key_->Assign(copy);
}

void TCustomVRXCrypto::AdoptPublicKeySizes(TKey& key) {
  if (key.Sizes() == generator_sizes_) return;
  const TKey copy(key);
  SetGeneratorSizes(key.Sizes());
  public_key_->Assign(copy);
}

void TCustomVRXCrypto::CreateKeys() {
  retired_keys_.clear();
  if (private_key_) retired_keys_.push_back(std::move(private_key_));
  if (public_key_) retired_keys_.push_back(std::move(public_key_));
  private_key_ = std::make_unique<TPrivateKey>(generator_sizes_);
  private_key_->OnKeyLoaded = [this](TPrPubKey& key) { AdoptPrivateKeySizes(key); };
  public_key_ = std::make_unique<TPublicKey>(generator_sizes_);
  public_key_->OnKeyLoaded = [this](TPrPubKey& key) { AdoptPublicKeySizes(key); };
  message_key_ = std::make_unique<TKey>(generator_sizes_);
}

void TCustomVRXCrypto::SetBlockSize(int bytes) {
  combiner_->SetBlockSize(bytes);
  block_size_ = bytes;
}

void TCustomVRXCrypto::SetGranularity(TGranularity granularity) {
  granularity_ = granularity;
  combiner_->SetByteMode(granularity == gByte);
}

void TCustomVRXCrypto::SetOnProgress(TNotifyEvent handler) {
  on_progress_ = std::move(handler);
  if (!combiner_) return;
  if (on_progress_) {
    combiner_->OnProgress = [this](TCombiner&) {
      if (on_progress_) on_progress_(*this);
    };
  } else {
    combiner_->OnProgress = nullptr;
  }
}

void TCustomVRXCrypto::SetRandomBufferSize(int bits) {
  if (random_source_) return;
  random_buffer_size_ = std::max(bits, 32);
}

void TCustomVRXCrypto::SetTableDirectory(const std::string& directory) {
  table_directory_ = directory;
  if (table_directory_.empty() || table_directory_.back() != '\\') table_directory_ += '\\';
}

void TCustomVRXCrypto::MakePrivateKeyFromStream(Stream& stream) {
  try {
    std::uint8_t bytes[TVRXCrypto::kMaxPrivateKeyStreamBytes];
    std::size_t count = 0;
    while (count < sizeof bytes) {
      const std::size_t got = stream.Read(bytes + count, sizeof bytes - count);
      if (got == 0) break;
      count += got;
    }
    if (count == 0) throw EVRXCryptoEmptyKey(msg::kZeroBytesPrivateKey);
    MakePrivateKey(bytes, static_cast<int>(count));
  } catch (const EVRXCryptoEmptyKey&) {
    throw;
  } catch (const std::exception&) {
    throw EVRXCryptoEmptyKey(msg::kUnableToReadStream);
  }
}

void TCustomVRXCrypto::MakeRandomKey(int bits) {
  int length = message_key_->Subkey(1)->BitCount();
  if (bits != 0 && length >= bits) length = bits;
  TSeeByteBitArray raw(2 * length);
  TSeeByteBitArray k(length);
  if (RandomGen != nullptr) {
    for (int d = 0; d < raw.ByteCount(); ++d) raw.SetByte(d, RandomGen->RandomByte());
  } else {
    TMouseRandomSource* source = RandomSource();
    const int held = source != nullptr ? source->Count() : 0;
    if (held < 2 * length && OnNeedRandomBits) OnNeedRandomBits(*this, 2 * length - held);
    if (source == nullptr || source->Count() < 2 * length) {
      throw EVRXCryptoNoRandomBits(msg::kNoRandomInput);
    }
    // The newest bits, removed from the source so that no later message
    // key reuses them.
    source->TakeNewest(2 * length, raw);
  }
  // Each output bit takes one raw bit when it is 0, and the following raw
  // bit when it is 1.
  int i = 0;
  for (int j = 0; j < length; ++j) {
    if (raw.GetBit(i) == 0) {
      k.SetBit(j, 0);
      i += 1;
    } else {
      k.SetBit(j, raw.GetBit(i + 1));
      i += 2;
    }
  }
  message_key_->MakeFromBits(k, length);
}

void TCustomVRXCrypto::RebuildEngine() {
  combiner_.reset();
  CreateGenerator();
  combiner_ = std::make_unique<TCombiner>(*generator_);
  combiner_->SetBlockSize(block_size_);
  combiner_->SetByteMode(granularity_ == gByte);
  SetOnProgress(on_progress_);
  CreateKeys();
}

// ---- TVRXCrypto ----

TVRXCrypto::TVRXCrypto() {
  RebuildEngine();
  random_source_ = std::make_unique<TMouseRandomSource>(RandomBufferSize());
}

TVRXCrypto::~TVRXCrypto() = default;

void TVRXCrypto::CreateGenerator() {
  generator_.reset();
  generator_ =
      std::make_unique<TS3MixtureGenerator>(SizeMemberCount(generator_sizes_), generator_sizes_);
}

void TVRXCrypto::SetGeneratorSizes(TGeneratorSizes sizes) {
  if (!SizeSetIsValid(sizes) || SizeMemberCount(sizes) != 3) {
    throw EVRXCryptoInvalidGeneratorSizes(msg::kMustSpecify3);
  }
  if (sizes == generator_sizes_) return;
  generator_sizes_ = sizes;
  RebuildEngine();
}

void TVRXCrypto::MakePrivateKey(const std::uint8_t* bytes, int count) {
  if (count == 0) throw EVRXCryptoEmptyKey(msg::kZeroBytesPrivateKey);
  PrivateKey().MakeFromBytes(bytes, count * 8);
  ScrambleKey(PrivateKey(), kScrambleSteps);
  PrivateKey().SetBlockSize(BlockSize());
  PrivateKey().SetGranularity(Granularity());
}

void TVRXCrypto::ScrambleKey(TKey& key, int steps) {
  const auto& reg = generator_->Register(1);
  TSubKey& subkey = *key.Subkey(1);
  field::ClockWords(field::GFField::For(reg.Length(), reg.MidTap()), subkey.Words(),
                    static_cast<std::uint64_t>(steps));
}

void TVRXCrypto::SetRandomSource(std::unique_ptr<TMouseRandomSource> source) {
  random_source_ = std::move(source);
}

int TVRXCrypto::LargestGeneratorLength() const {
  return FieldOf(generator_sizes_).length;
}

void TVRXCrypto::ComputePublicKey(TPublicKey& public_key, const TPrivateKey& private_key) {
  if (public_key.Sizes() != private_key.Sizes()) {
    throw EKeyIncompatibleAssignment(msg::kKeyIncompatible);
  }
  const GeneratorSizeInfo field = private_key.FieldParameters();
  TExpo::PowerOfX(field.length, field.mid_tap, private_key.Subkey(1)->Words(),
                  public_key.Subkey(1)->Words());
  public_key.SetBlockSize(private_key.BlockSize());
  public_key.SetGranularity(private_key.Granularity());
}

void TVRXCrypto::ResetGeneratorRegisters() {
  for (int i = 1; i <= 3; ++i) generator_->Register(i).SetToX();
}

std::uint32_t TVRXCrypto::EncryptStream(Stream& output, Stream& input, bool store_key_id,
                                        std::string& key_id_text) {
  // A public key without a value would key the generator with zero and
  // leave the data readable by anyone.
  if (IsZeroSubkey(*PublicKey().Subkey(1))) throw EKeyInvalidBitsZero(msg::kKeyAllZero);
  const GeneratorSizeInfo field = FieldOf(generator_sizes_);
  MakeRandomKey(LargestGeneratorLength());
  ProcessMessages();
  ResetGeneratorRegisters();

  TKey exchange(generator_sizes_);
  TExpo::PowerOfX(field.length, field.mid_tap, MessageKey().Subkey(1)->Words(),
                  exchange.Subkey(1)->Words());
  ProcessMessages();
  exchange.SaveToStream(output);

  TCiphertextHeader header;
  if (store_key_id) header.SetRecipientKeyId(PublicKey().KeyId());
  if (OnWriteCiphertextHeader) OnWriteCiphertextHeader(*this, header);
  header.SaveToStream(output);

  TKey shared(generator_sizes_);
  if (key_id_text.empty()) key_id_text = PublicKey().KeyId();
  TExpo::Power(field.length, field.mid_tap, MessageKey().Subkey(1)->Words(),
               PublicKey().Subkey(1)->Words(), shared.Subkey(1)->Words());
  ProcessMessages();

  generator_->LoadKey(shared);
  generator_->ExpandFirst();
  SetBlockSize(PublicKey().BlockSize());
  SetGranularity(PublicKey().Granularity());
  if (OnProgress()) OnProgress()(*this);
  return combiner_->EncryptStream(output, input);
}

std::uint32_t TVRXCrypto::DecryptStream(Stream& output, Stream& input) {
  TKey exchange(0);
  exchange.LoadFromStream(input);
  SetGeneratorSizes(exchange.Sizes());
  SetBlockSize(PrivateKey().BlockSize());
  SetGranularity(PrivateKey().Granularity());

  {
    TCiphertextHeader header;
    header.LoadFromStream(input);
    if (OnReadCiphertextHeader) OnReadCiphertextHeader(*this, header);
  }

  // x^k = 0 is no element of the group: raising it would key the generator
  // with zero.
  if (IsZeroSubkey(*exchange.Subkey(1))) throw EKeyInvalidBitsZero(msg::kKeyAllZero);
  const GeneratorSizeInfo field = FieldOf(generator_sizes_);
  TKey shared(generator_sizes_);
  TExpo::Power(field.length, field.mid_tap, PrivateKey().Subkey(1)->Words(),
               exchange.Subkey(1)->Words(), shared.Subkey(1)->Words());

  generator_->LoadKey(shared);
  generator_->ExpandFirst();
  return combiner_->DecryptStream(output, input);
}

void TVRXCrypto::CaptureMouseEntropy(TCustomVRXCrypto&, int bits_needed) {
  TMouseRandomSource* source = RandomSource();
  if (CaptureHost == nullptr || source == nullptr) return;
  TfrmMouseCapture dialog(*CaptureHost);
  TMouseEventTarget* const attached = source->AttachedControl();
  const auto on_full = source->OnFull;
  const bool enabled = source->Enabled();

  source->SetEnabled(false);
  source->AttachTo(&dialog);
  source->OnFull = [](TCustomBitQueue& queue) {
    auto* mouse = dynamic_cast<TMouseRandomSource*>(&queue);
    if (mouse == nullptr) return;
    if (auto* form = dynamic_cast<TfrmMouseCapture*>(mouse->AttachedControl())) form->Close(mrOk);
  };
  source->SetEnabled(true);
  try {
    dialog.Run((bits_needed - 1) / 8 + 1);
  } catch (...) {
    source->AttachTo(attached);
    source->OnFull = on_full;
    source->SetEnabled(enabled);
    throw;
  }
  source->AttachTo(attached);
  source->OnFull = on_full;
  source->SetEnabled(enabled);
}

}  // namespace nimbra::engine
