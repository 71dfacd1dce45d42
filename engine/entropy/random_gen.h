#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace nimbra::engine {

class TS3MixtureGenerator;

// Pseudo-random bytes from the three-register keystream generator keyed
// with a seed of at most 150 bytes.
class TRandomGen {
 public:
  static constexpr int kMaxSeedLength = 150;
  static constexpr int kPrimingBytes = 300000;

  TRandomGen();
  ~TRandomGen();
  TRandomGen(const TRandomGen&) = delete;
  TRandomGen& operator=(const TRandomGen&) = delete;

  // The seed is read when Seed runs; the length is capped at 150.
  void SetSeedData(const std::uint8_t* data) { seed_data_ = data; }
  void SetSeedLength(int length);
  int SeedLength() const { return seed_length_; }

  // Builds the seed buffer and (re)creates and primes the generator.
  virtual void Seed();
  // Raises ERGNotSeeded before Seed.
  virtual std::uint8_t RandomByte();
  bool Seeded() const { return seeded_; }

  // May replace each byte before it is returned.
  std::function<void(TRandomGen& sender, std::uint8_t& output)> OnOutputRequest;

 private:
  bool seeded_ = false;
  std::array<std::uint8_t, 152> seed_buffer_{};
  const std::uint8_t* seed_data_ = nullptr;
  int seed_length_ = 0;
  std::unique_ptr<TS3MixtureGenerator> generator_;
};

}  // namespace nimbra::engine
