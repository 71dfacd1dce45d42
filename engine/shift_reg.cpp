#include "engine/shift_reg.h"

#include <algorithm>
#include <string>

#include "engine/errors.h"

namespace nimbra::engine {

namespace {

// Room past the live state; sliding copies the state back once per this
// many bytes of clocking.
constexpr std::size_t kSlackBytes = 4096;

std::uint64_t LowMask(int count) {
  return count >= 64 ? ~0ull : (1ull << count) - 1;
}

int CheckedRegister(int n, int m) {
  if (n < 2) throw EShiftRegNoCreate(msg::kRegLengthInvalid + std::to_string(n));
  if (n > kMaxBitArrayLength) throw EShiftRegNoCreate(msg::kRegLengthInvalid + std::to_string(n));
  if (m <= 0 || m > n - 1) throw EShiftRegNoCreate(msg::kRegMidTapInvalid + std::to_string(m));
  return n;
}

}  // namespace

// ---- TCustomShiftReg ----

TCustomShiftReg::TCustomShiftReg(int n)
    : TAbstractGenerator(n),
      buf_(static_cast<std::size_t>(n / 8) + 16 + kSlackBytes, 0),
      t_(n),
      generated_(n) {}

TCustomShiftReg::TCustomShiftReg(const TCustomShiftReg& other)
    : TAbstractGenerator(other.length_),
      buf_(other.buf_),
      t_(other.t_),
      generated_(other.generated_) {}

void TCustomShiftReg::Put(std::int64_t p, std::uint64_t v, int count) {
  std::uint8_t* at = buf_.data() + (p >> 3);
  const int shift = static_cast<int>(p & 7);
  std::uint64_t x;
  std::memcpy(&x, at, 8);
  x = (x & LowMask(shift)) | ((v & LowMask(count)) << shift);
  std::memcpy(at, &x, 8);
}

void TCustomShiftReg::Slide() {
  // Keep everything from the oldest bit that is still needed: the state's
  // first bit, or the feedback source of the next bit to compute.
  const std::int64_t oldest = std::min(t_, generated_) - length_;
  const std::int64_t start_byte = oldest >> 3;
  if (start_byte <= 0) return;
  const std::size_t end_byte = static_cast<std::size_t>(generated_ >> 3) + 8;
  std::memmove(buf_.data(), buf_.data() + start_byte, end_byte - start_byte);
  t_ -= start_byte * 8;
  generated_ -= start_byte * 8;
}

void TCustomShiftReg::Reserve(std::int64_t until) {
  if (static_cast<std::size_t>(until >> 3) + 16 > buf_.size()) Slide();
}

void TCustomShiftReg::BeginEdit() {
  generated_ = t_;
  Reserve(generated_);
}

int TCustomShiftReg::GetBit(int i) const {
  if (i < 1 || i > length_)
    throw EBitArrayInvalidIndex(msg::kBitIndexInvalid + std::to_string(i - 1));
  const std::int64_t p = t_ - i;
  return (buf_[p >> 3] >> (p & 7)) & 1;
}

void TCustomShiftReg::SetBit(int i, int v) {
  if (i < 1 || i > length_)
    throw EBitArrayInvalidIndex(msg::kBitIndexInvalid + std::to_string(i - 1));
  BeginEdit();
  const std::int64_t p = t_ - i;
  const auto mask = static_cast<std::uint8_t>(1u << (p & 7));
  if (v)
    buf_[p >> 3] |= mask;
  else
    buf_[p >> 3] &= static_cast<std::uint8_t>(~mask);
}

void TCustomShiftReg::StoreStateBuffer(std::uint32_t* words) const {
  const int count = StateWordCount();
  for (int w = 0; w + 1 < count; ++w)
    words[w] = static_cast<std::uint32_t>(Window(t_ - 32 - 32 * std::int64_t{w}));
  const int rest = length_ - 32 * (count - 1);
  const auto last = static_cast<std::uint32_t>(Window(t_ - length_) & LowMask(rest));
  words[count - 1] = rest == 32 ? last : last << (32 - rest);
}

void TCustomShiftReg::LoadStateBuffer(const std::uint32_t* words) {
  if (words == nullptr) throw EBitArrayInvalidOperation(msg::kAssignBufferFault);
  BeginEdit();
  const int count = StateWordCount();
  const int rest = length_ - 32 * (count - 1);
  // Lowest positions first: each write may clobber the bits above it, which
  // the next write then sets.
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
  t_ = length_;
  generated_ = length_;
  std::fill(buf_.begin(), buf_.begin() + (length_ >> 3) + 16, 0);
}

const TCustomBitArray& TCustomShiftReg::State() const {
  if (!snapshot_) snapshot_ = std::make_unique<TCustomBitArray>(length_);
  StoreStateBuffer(snapshot_->Words());
  return *snapshot_;
}

// ---- TShiftReg ----

TShiftReg::TShiftReg(int n, int m)
    : TCustomShiftReg(CheckedRegister(n, m)),
      m_(m),
      step_(std::min(32, m)),
      gen_step_(std::min(56, m)) {}

TShiftReg::TShiftReg(const TShiftReg& other)
    : TCustomShiftReg(other), m_(other.m_), step_(other.step_), gen_step_(other.gen_step_) {}

void TShiftReg::Generate() {
  // s[p] = s[p - n] xor s[p - m], computed gen_step_ (<= m) bits at a time
  // so that every source bit is already known.
  const std::uint64_t mask = LowMask(gen_step_);
  while (generated_ < t_) {
    Reserve(generated_);
    const std::uint64_t bits = (Window(generated_ - length_) ^ Window(generated_ - m_)) & mask;
    Put(generated_, bits, gen_step_);
    generated_ += gen_step_;
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
    Reserve(generated_);
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
