#include "core/secret_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace nimbra {
namespace {

// Memory that checks, as each block comes back, that no byte of it was left
// unwiped.
class CheckingMemory : public std::pmr::memory_resource {
 public:
  int given = 0;
  int returned = 0;
  int unwiped = 0;

 private:
  void* do_allocate(std::size_t bytes, std::size_t align) override {
    ++given;
    return std::pmr::new_delete_resource()->allocate(bytes, align);
  }
  void do_deallocate(void* p, std::size_t bytes, std::size_t align) override {
    ++returned;
    const auto* b = static_cast<const std::uint8_t*>(p);
    if (std::any_of(b, b + bytes, [](std::uint8_t c) { return c != 0; })) ++unwiped;
    std::pmr::new_delete_resource()->deallocate(p, bytes, align);
  }
  bool do_is_equal(const memory_resource& other) const noexcept override { return this == &other; }
};

TEST(SecretBuffer, EveryBlockIsWipedBeforeItGoesBack) {
  CheckingMemory memory;
  {
    SecretBuffer secret(&memory);
    secret.Assign(std::string_view("pass"));
    for (int i = 0; i < 50; ++i) secret.Append(std::string_view("phrase"));  // grows
    EXPECT_EQ(secret.size(), 4u + 50 * 6);
    EXPECT_EQ(secret.Text().substr(0, 10), "passphrase");
    SecretBuffer copy = secret;
    EXPECT_EQ(copy, secret);
    SecretBuffer moved = std::move(copy);
    EXPECT_EQ(moved.Text(), secret.Text());
    secret.Assign(secret.Text().substr(4, 6));  // from its own bytes
    EXPECT_EQ(secret, std::string_view("phrase"));
    secret.Assign(std::string(1000, 'x'));
    secret.Clear();
    EXPECT_TRUE(secret.empty());
  }
  EXPECT_GT(memory.returned, 3);
  EXPECT_EQ(memory.returned, memory.given);
  EXPECT_EQ(memory.unwiped, 0);
}

TEST(SecretBuffer, BytesInUseCountEveryLiveBuffer) {
  const std::size_t before = SecretBytesInUse();
  {
    SecretBuffer a(std::string_view("one"));
    SecretBuffer b = a;
    EXPECT_GE(SecretBytesInUse(), before + 6);
  }
  EXPECT_EQ(SecretBytesInUse(), before);
}

TEST(SecretBuffer, ShrinkingWipesWhatIsGivenUp) {
  SecretBuffer secret(std::string_view("0123456789"));
  const std::uint8_t* bytes = secret.data();
  secret.Resize(4);
  EXPECT_EQ(secret, std::string_view("0123"));
  EXPECT_TRUE(std::all_of(bytes + 4, bytes + 10, [](std::uint8_t c) { return c == 0; }));
  secret.Assign(std::string_view("ab"));
  EXPECT_EQ(bytes[2], 0);
  EXPECT_EQ(bytes[3], 0);
  secret.Resize(5);
  EXPECT_EQ(secret.Text(), std::string_view("ab\0\0\0", 5));
}

}  // namespace
}  // namespace nimbra
