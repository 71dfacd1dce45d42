#include "core/secret_buffer.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace nimbra {

void SecureWipe(void* data, std::size_t size) {
  if (data && size) OPENSSL_cleanse(data, size);
}

namespace {

// The default memory of secret buffers, counting what it holds.
class CountingMemory : public std::pmr::memory_resource {
 public:
  std::atomic<std::size_t> inUse{0};

 private:
  void* do_allocate(std::size_t bytes, std::size_t align) override {
    void* p = std::pmr::new_delete_resource()->allocate(bytes, align);
    inUse += bytes;
    return p;
  }
  void do_deallocate(void* p, std::size_t bytes, std::size_t align) override {
    inUse -= bytes;
    std::pmr::new_delete_resource()->deallocate(p, bytes, align);
  }
  bool do_is_equal(const memory_resource& other) const noexcept override { return this == &other; }
};

CountingMemory& Counting() {
  static CountingMemory memory;
  return memory;
}

}  // namespace

std::size_t SecretBytesInUse() {
  return Counting().inUse;
}

std::pmr::memory_resource* SecretBuffer::DefaultMemory() {
  return &Counting();
}

SecretBuffer::SecretBuffer(std::string_view text) {
  Assign(text);
}

SecretBuffer::SecretBuffer(std::span<const std::uint8_t> bytes) {
  Assign(bytes);
}

SecretBuffer::SecretBuffer(std::size_t size) {
  Resize(size);
}

SecretBuffer::SecretBuffer(std::pmr::memory_resource* memory) : memory_(memory) {}

SecretBuffer::SecretBuffer(const SecretBuffer& other) : memory_(other.memory_) {
  Assign(other.Bytes());
}

SecretBuffer::SecretBuffer(SecretBuffer&& other) noexcept
    : memory_(other.memory_),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

SecretBuffer& SecretBuffer::operator=(const SecretBuffer& other) {
  if (this != &other) Assign(other.Bytes());
  return *this;
}

SecretBuffer& SecretBuffer::operator=(SecretBuffer&& other) noexcept {
  if (this == &other) return *this;
  Release();
  memory_ = other.memory_;
  data_ = std::exchange(other.data_, nullptr);
  size_ = std::exchange(other.size_, 0);
  capacity_ = std::exchange(other.capacity_, 0);
  return *this;
}

SecretBuffer::~SecretBuffer() {
  Release();
}

void SecretBuffer::Release() {
  if (!data_) return;
  SecureWipe(data_, capacity_);
  memory_->deallocate(data_, capacity_);
  data_ = nullptr;
  size_ = capacity_ = 0;
}

void SecretBuffer::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  auto* fresh = static_cast<std::uint8_t*>(memory_->allocate(capacity));
  if (size_) std::memcpy(fresh, data_, size_);
  const std::size_t size = size_;
  Release();
  data_ = fresh;
  size_ = size;
  capacity_ = capacity;
}

void SecretBuffer::Assign(std::span<const std::uint8_t> bytes) {
  // The source may lie inside this buffer: copy before wiping what is left.
  if (bytes.size() > capacity_) {
    SecretBuffer fresh(memory_);
    fresh.Append(bytes);
    *this = std::move(fresh);
    return;
  }
  if (!bytes.empty()) std::memmove(data_, bytes.data(), bytes.size());
  if (size_ > bytes.size()) SecureWipe(data_ + bytes.size(), size_ - bytes.size());
  size_ = bytes.size();
}

void SecretBuffer::Assign(std::string_view text) {
  Assign({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

void SecretBuffer::Append(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  if (size_ + bytes.size() > capacity_) {
    // Grown into new memory: the source may lie in the old, so it is copied
    // before the old memory is wiped.
    SecretBuffer grown(memory_);
    grown.Reserve(std::max(size_ + bytes.size(), 2 * capacity_));
    if (size_) std::memcpy(grown.data_, data_, size_);
    std::memcpy(grown.data_ + size_, bytes.data(), bytes.size());
    grown.size_ = size_ + bytes.size();
    *this = std::move(grown);
    return;
  }
  std::memmove(data_ + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

void SecretBuffer::Append(std::string_view text) {
  Append({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

void SecretBuffer::Resize(std::size_t size) {
  if (size > capacity_) Reserve(size);
  if (size > size_) std::memset(data_ + size_, 0, size - size_);
  if (size < size_) SecureWipe(data_ + size, size_ - size);
  size_ = size;
}

void SecretBuffer::Clear() {
  Release();
}

}  // namespace nimbra
