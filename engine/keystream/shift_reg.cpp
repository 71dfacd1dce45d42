#include "engine/keystream/shift_reg.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/secret_buffer.h"
#include "engine/errors.h"

namespace nimbra::engine {

namespace {

// Words of room past the live state; sliding copies the state back once per
// this many words of clocking.
constexpr std::size_t kSlackWords = 1024;
// Bits computed ahead of the state in one go.
constexpr std::int64_t kLookahead = 512;
// One word is kept before the oldest live bit, so that computing a partly
// known word may read a whole word below it.
constexpr std::int64_t kOrigin = 32;

std::uint32_t LowMask(int count) {
  return count >= 32 ? ~0u : (1u << count) - 1;
}

int CheckedRegister(int n, int m) {
  if (n < 2 || n > kMaxBitArrayLength)
    throw EShiftRegNoCreate(msg::kRegLengthInvalid + std::to_string(n));
  if (m <= 0 || m > n - 1) throw EShiftRegNoCreate(msg::kRegMidTapInvalid + std::to_string(m));
  return n;
}

}  // namespace

// ---- TCustomShiftReg ----

TCustomShiftReg::TCustomShiftReg(int n)
    : TAbstractGenerator(n),
      words_(static_cast<std::size_t>(n / 32) + 4 + kSlackWords, 0),
      t_(n + kOrigin),
      generated_(n + kOrigin) {}

TCustomShiftReg::TCustomShiftReg(const TCustomShiftReg& other)
    : TAbstractGenerator(other.length_),
      words_(other.words_),
      t_(other.t_),
      generated_(other.generated_) {}

void TCustomShiftReg::Put(std::int64_t p, std::uint32_t v, int count) {
  std::uint32_t* w = words_.data() + (p >> 5);
  const int shift = static_cast<int>(p & 31);
  const std::uint64_t mask = std::uint64_t{LowMask(count)} << shift;
  std::uint64_t x = (std::uint64_t{w[1]} << 32) | w[0];
  x = (x & ~mask) | ((std::uint64_t{v} << shift) & mask);
  w[0] = static_cast<std::uint32_t>(x);
  w[1] = static_cast<std::uint32_t>(x >> 32);
}

void TCustomShiftReg::Slide() {
  // Keep everything from the oldest bit still needed: the state's first bit,
  // or the feedback source of the next bit to compute.
  const std::int64_t oldest = std::min(t_, generated_) - length_;
  const std::int64_t start = (oldest - kOrigin) >> 5;
  if (start <= 0) return;
  const std::size_t end = std::min(static_cast<std::size_t>(generated_ >> 5) + 2, words_.size());
  std::memmove(words_.data(), words_.data() + start, (end - start) * sizeof(std::uint32_t));
  t_ -= start * 32;
  generated_ -= start * 32;
}

void TCustomShiftReg::Reserve() {
  if (static_cast<std::size_t>(generated_ >> 5) + 3 > words_.size()) Slide();
}

void TCustomShiftReg::BeginEdit() {
  generated_ = t_;
  Reserve();
}

int TCustomShiftReg::GetBit(int i) const {
  if (i < 1 || i > length_)
    throw EBitArrayInvalidIndex(msg::kBitIndexInvalid + std::to_string(i - 1));
  const std::int64_t p = t_ - i;
  return (words_[p >> 5] >> (p & 31)) & 1;
}

void TCustomShiftReg::SetBit(int i, int v) {
  if (i < 1 || i > length_)
    throw EBitArrayInvalidIndex(msg::kBitIndexInvalid + std::to_string(i - 1));
  BeginEdit();
  Put(t_ - i, v ? 1 : 0, 1);
}

void TCustomShiftReg::StoreStateBuffer(std::uint32_t* words) const {
  const int count = StateWordCount();
  for (int w = 0; w + 1 < count; ++w) words[w] = Window(t_ - 32 - 32 * std::int64_t{w});
  const int rest = length_ - 32 * (count - 1);
  const std::uint32_t last = Window(t_ - length_) & LowMask(rest);
  words[count - 1] = rest == 32 ? last : last << (32 - rest);
}

void TCustomShiftReg::LoadStateBuffer(const std::uint32_t* words) {
  if (words == nullptr) throw EBitArrayInvalidOperation(msg::kAssignBufferFault);
  BeginEdit();
  const int count = StateWordCount();
  const int rest = length_ - 32 * (count - 1);
  Put(t_ - length_, rest == 32 ? words[count - 1] : words[count - 1] >> (32 - rest), rest);
  for (int w = count - 2; w >= 0; --w) Put(t_ - 32 - 32 * std::int64_t{w}, words[w], 32);
}

void TCustomShiftReg::LoadState(const TBitArray& state) {
  if (state.BitCount() < length_) throw EBitArrayInvalidOperation(msg::kAssignTooShort);
  LoadStateBuffer(state.Words());
}

void TCustomShiftReg::XorState(const TBitArray& other) {
  if (other.BitCount() != length_) throw EBitArrayInvalidOperation(msg::kXorLengths);
  TCustomBitArray state(length_);
  StoreStateBuffer(state.Words());
  state.XorWith(other);
  state.ClearPadding();
  LoadStateBuffer(state.Words());
}

void TCustomShiftReg::Clear() {
  t_ = length_ + kOrigin;
  generated_ = t_;
  std::fill(words_.begin(), words_.begin() + (t_ >> 5) + 2, 0);
}

void TCustomShiftReg::Wipe() {
  SecureWipe(words_.data(), words_.size() * sizeof(std::uint32_t));
  if (snapshot_) snapshot_->Wipe();
  Clear();
}

const TCustomBitArray& TCustomShiftReg::State() const {
  if (!snapshot_) snapshot_ = std::make_unique<TCustomBitArray>(length_);
  StoreStateBuffer(snapshot_->Words());
  return *snapshot_;
}

// ---- TShiftReg ----

TShiftReg::TShiftReg(int n, int m)
    : TCustomShiftReg(CheckedRegister(n, m)), m_(m), step_(std::min(32, m)) {}

TShiftReg::TShiftReg(const TShiftReg& other)
    : TCustomShiftReg(other), m_(other.m_), step_(other.step_) {}

void TShiftReg::Generate() {
  GenerateAhead(kLookahead);
}

void TShiftReg::GenerateAhead(std::int64_t ahead) {
  if (m_ < 32) {
    GenerateBitwise(ahead);
    return;
  }
  if (generated_ >= t_ + ahead) return;
  // Room for everything up to the end at once (this may move the positions).
  if (static_cast<std::size_t>((t_ + ahead) >> 5) + 4 > words_.size()) Slide();
  const std::int64_t target = t_ + ahead;
  // s[p] = s[p - n] xor s[p - m], a word at a time: with m >= 32 every source
  // bit of a word lies before the word. A partly known word keeps its known
  // low bits.
  if (generated_ & 31) {
    const std::int64_t base = generated_ & ~std::int64_t{31};
    const std::uint32_t v = Window(base - length_) ^ Window(base - m_);
    const int known = static_cast<int>(generated_ - base);
    std::uint32_t& w = words_[base >> 5];
    w = (w & LowMask(known)) | (v & ~LowMask(known));
    generated_ = base + 32;
  }
  std::uint32_t* words = words_.data();
  // With m >= 64, two words at a time. The sources move two words a step,
  // so their bit offsets stay put.
  if (m_ >= 64 && generated_ < target) {
    const std::int64_t steps = (target - generated_ + 63) / 64;
    const std::uint32_t* from_n = words + ((generated_ - length_) >> 5);
    const std::uint32_t* from_m = words + ((generated_ - m_) >> 5);
    const int shift_n = static_cast<int>((generated_ - length_) & 31);
    const int shift_m = static_cast<int>((generated_ - m_) & 31);
    std::uint32_t* to = words + (generated_ >> 5);
    const auto window = [](const std::uint32_t* w, int shift) {
      const std::uint64_t low = ((std::uint64_t{w[1]} << 32) | w[0]) >> shift;
      return low | std::uint64_t{w[2]} << 1 << (63 - shift);
    };
    if (length_ < 128) {
      // Both sources lie in the last two steps' results: keep those in
      // registers rather than read back what was just stored.
      const auto join = [](const std::uint32_t* w) { return (std::uint64_t{w[1]} << 32) | w[0]; };
      std::uint64_t older = join(to - 4), newer = join(to - 2);
      const int up_n = length_ - 64, up_m = m_ - 64;
      for (std::int64_t i = 0; i < steps; ++i) {
        const std::uint64_t v =
            (older >> (64 - up_n) | newer << up_n) ^ (older >> 1 >> (63 - up_m) | newer << up_m);
        to[2 * i] = static_cast<std::uint32_t>(v);
        to[2 * i + 1] = static_cast<std::uint32_t>(v >> 32);
        older = newer;
        newer = v;
      }
    } else {
      for (std::int64_t i = 0; i < steps; ++i) {
        const std::uint64_t v = window(from_n + 2 * i, shift_n) ^ window(from_m + 2 * i, shift_m);
        to[2 * i] = static_cast<std::uint32_t>(v);
        to[2 * i + 1] = static_cast<std::uint32_t>(v >> 32);
      }
    }
    generated_ += 64 * steps;
  }
  for (; generated_ < target; generated_ += 32)
    words[generated_ >> 5] = Window(generated_ - length_) ^ Window(generated_ - m_);
}

void TShiftReg::GenerateBitwise(std::int64_t ahead) {
  while (generated_ < t_ + ahead) {
    Reserve();
    const std::uint32_t bit = (Window(generated_ - length_) ^ Window(generated_ - m_)) & 1;
    Put(generated_, bit, 1);
    ++generated_;
  }
}

void TShiftReg::Clock(int k) {
  if (k <= 0) return;
  const int partial = k % step_;
  if (partial > 0) ClockFeedback(partial);
  for (int done = partial; done + step_ <= k; done += step_) {
    if (step_ == 32)
      ClockWord();
    else
      ClockFeedback(step_);
  }
}

std::uint32_t TShiftReg::Output(int k) {
  const std::uint32_t v = OutputWindow();
  Clock(k);
  return v;
}

void TShiftReg::ClockFeedback(int k) {
  Advance(k);
}

void TShiftReg::ClockWord() {
  Advance(32);
}

void TShiftReg::SetToOne() {
  Clear();
  SetBit(m_ + 1, 1);
}

void TShiftReg::SetToX() {
  Clear();
  SetBit((m_ + 1) % length_ + 1, 1);
}

void TShiftReg::Rotate(int k) {
  if (k <= 0) return;
  const int piece = std::min(length_ - 1, 31);
  auto rotate = [this](int j) {
    BeginEdit();
    Put(t_, Window(t_ - length_), j);
    t_ += j;
    generated_ = t_;
    Reserve();
  };
  const int first = k % piece;
  if (first > 0) rotate(first);
  // Whole pieces; rotating by the full length changes nothing.
  const int pieces = (k / piece) % length_;
  for (int i = 0; i < pieces; ++i) rotate(piece);
}

// ---- TStutterShiftReg ----

TStutterShiftReg::TStutterShiftReg(int n, int m) : TShiftReg(n, m), stutter_step_(1) {}

bool TStutterShiftReg::ShortStutterHolds() const {
  const int b10 = length_ > 10 ? GetBit(11) : 0;
  const int b17 = length_ > 17 ? GetBit(18) : 0;
  return b10 == 0 && b17 == 0;
}

void TStutterShiftReg::FireStutter() {
  if (OnStutter) OnStutter(*this);
}

void TStutterShiftReg::ClockFeedback(int k) {
  StutterTest();
  Advance(k);
}

void TStutterShiftReg::ClockWord() {
  StutterTest();
  Advance(32);
}

void TStutterShiftReg::ClockChecked(int k) {
  TShiftReg::Clock(k);
}

}  // namespace nimbra::engine
