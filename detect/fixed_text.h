#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nimbra::detect {

// A text field of fixed capacity: a longer value is cut to its first N bytes
// whenever it is stored, so that no field of an account record ever holds
// more than the product's own files and programs expect.
template <std::size_t N>
class FixedText {
 public:
  static constexpr std::size_t kCapacity = N;

  FixedText() = default;
  FixedText(std::string_view text) : text_(text.substr(0, N)) {}  // NOLINT: implicit on purpose
  FixedText(const char* text) : FixedText(std::string_view(text)) {}
  FixedText(const std::string& text) : FixedText(std::string_view(text)) {}
  template <std::size_t M>
  FixedText(const FixedText<M>& other) : FixedText(std::string_view(other.str())) {}
  FixedText& operator=(std::string_view text) {
    text_.assign(text.substr(0, N));
    return *this;
  }
  FixedText& operator=(const char* text) { return *this = std::string_view(text); }
  FixedText& operator=(const std::string& text) { return *this = std::string_view(text); }
  template <std::size_t M>
  FixedText& operator=(const FixedText<M>& other) {
    return *this = std::string_view(other.str());
  }

  const std::string& str() const { return text_; }
  operator const std::string&() const { return text_; }  // NOLINT: reads as the text
  operator std::string_view() const { return text_; }    // NOLINT
  bool empty() const { return text_.empty(); }
  std::size_t size() const { return text_.size(); }
  void clear() { text_.clear(); }

  friend bool operator==(const FixedText& a, std::string_view b) { return a.text_ == b; }
  friend std::string operator+(const FixedText& a, std::string_view b) {
    return a.text_ + std::string(b);
  }
  friend std::string operator+(std::string_view a, const FixedText& b) {
    return std::string(a) + b.text_;
  }

 private:
  std::string text_;
};

}  // namespace nimbra::detect
