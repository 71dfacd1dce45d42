#pragma once

// The exponent scan of b^e by sliding windows, shared by the portable path
// and the field kernels.

#include <cstddef>
#include <cstdint>

namespace nimbra::engine::field {

// Window width of the general-base exponentiation: balances the 2^(w-1)
// table products against one product per w + 1 exponent bits.
constexpr int SlidingWindowWidth(int n) {
  return n > 1000 ? 6 : (n > 250 ? 5 : 4);
}

// An exponent read from its top bit down in windows of at most `width` bits
// that begin and end with a one, so that every window value is odd and a
// table of the odd powers of b serves: b^e is b^First(), then for each Next
// step that many squarings followed, unless the value is zero, by a product
// with b^value.
class SlidingWindows {
 public:
  SlidingWindows(const std::uint64_t* e, std::size_t limbs, int width)
      : e_(e), width_(width), top_(static_cast<long>(64 * limbs) - 1) {
    while (top_ >= 0 && !Bit(top_)) --top_;
  }

  // The first window's value; 0 for a zero exponent.
  unsigned First() {
    int length = 0;
    return top_ < 0 ? 0 : Take(length);
  }

  // The squarings before the next product and the window's value (0 after
  // the last window: the squarings of the trailing zero bits alone). False
  // when the exponent is used up.
  bool Next(int& squarings, unsigned& value) {
    if (top_ < 0) return false;
    squarings = 0;
    while (top_ >= 0 && !Bit(top_)) {
      ++squarings;
      --top_;
    }
    value = 0;
    if (top_ >= 0) {
      int length = 0;
      value = Take(length);
      squarings += length;
    }
    return true;
  }

 private:
  bool Bit(long t) const { return (e_[t >> 6] >> (t & 63)) & 1; }

  // The window whose top bit is top_ (a one), ending at its lowest one.
  unsigned Take(int& length) {
    long low = top_ - width_ + 1 < 0 ? 0 : top_ - width_ + 1;
    while (!Bit(low)) ++low;
    unsigned v = 0;
    for (long t = top_; t >= low; --t) v = (v << 1) | static_cast<unsigned>(Bit(t));
    length = static_cast<int>(top_ - low + 1);
    top_ = low - 1;
    return v;
  }

  const std::uint64_t* e_;
  int width_;
  long top_;  // the highest bit not yet read
};

}  // namespace nimbra::engine::field
