#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <span>
#include <string>
#include <string_view>

namespace nimbra {

// Overwrites memory in a way the compiler may not leave out.
void SecureWipe(void* data, std::size_t size);

// Bytes held by secret buffers of the default memory in the whole process
// right now: what shows that no secret outlives the object that used it.
std::size_t SecretBytesInUse();

// Bytes that must not outlive their use: passwords and pass phrases, the
// database passwords and their sealed entries once unsealed, plain key
// blocks, seeds. Every byte the buffer held is overwritten before its memory
// goes back: when the buffer is destroyed, assigned, cleared or grown into
// new memory (shrinking wipes the bytes given up). Copies are buffers of
// their own and wipe alike; callers view the bytes as Text() or Bytes()
// rather than copying them into plain strings.
class SecretBuffer {
 public:
  SecretBuffer() = default;
  // Implicit, as texts are: a pass phrase given as a text becomes a buffer.
  SecretBuffer(std::string_view text);
  SecretBuffer(const char* text) : SecretBuffer(std::string_view(text)) {}
  SecretBuffer(const std::string& text) : SecretBuffer(std::string_view(text)) {}
  explicit SecretBuffer(std::span<const std::uint8_t> bytes);
  // `size` zero bytes.
  explicit SecretBuffer(std::size_t size);
  // A buffer whose memory comes from `memory` (and is wiped before it goes
  // back there), for callers that account for their memory.
  explicit SecretBuffer(std::pmr::memory_resource* memory);
  SecretBuffer(const SecretBuffer& other);
  SecretBuffer(SecretBuffer&& other) noexcept;
  SecretBuffer& operator=(const SecretBuffer& other);
  SecretBuffer& operator=(SecretBuffer&& other) noexcept;
  ~SecretBuffer();

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::string_view Text() const { return {reinterpret_cast<const char*>(data_), size_}; }
  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }

  void Assign(std::span<const std::uint8_t> bytes);
  void Assign(std::string_view text);
  void Append(std::span<const std::uint8_t> bytes);
  void Append(std::string_view text);
  // New bytes are zero.
  void Resize(std::size_t size);
  // Wipes the bytes and gives the memory back.
  void Clear();

  bool operator==(const SecretBuffer& other) const { return Text() == other.Text(); }
  template <class T>
  requires std::convertible_to<const T&, std::string_view>
  bool operator==(const T& text) const { return Text() == std::string_view(text); }
  bool operator==(std::span<const std::uint8_t> bytes) const {
    return Text() == std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

 private:
  void Reserve(std::size_t capacity);
  void Release();

  std::pmr::memory_resource* memory_ = DefaultMemory();
  static std::pmr::memory_resource* DefaultMemory();
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace nimbra
