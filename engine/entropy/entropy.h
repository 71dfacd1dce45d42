#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace nimbra::engine {

// The timer and cursor the sampler needs, supplied by the user interface.
class TEntropyPlatform {
 public:
  virtual ~TEntropyPlatform() = default;
  // Starts the timer: tick runs every interval_ms until StopTimer.
  virtual void StartTimer(int interval_ms, std::function<void()> tick) = 0;
  virtual void StopTimer() = 0;
  // The pointer position in screen coordinates; false when unavailable.
  virtual bool GetCursorPos(int& x, int& y) = 0;
};

// A pool of 2000 bytes: filled from the operating system's random source at
// creation, then overwritten with a cursor sample every 100 ms whenever the
// pointer has moved. TakeOutput hands out up to 100 bytes and SHA-1 mixes the
// bytes it handed out.
class TGatherEntropy {
 public:
  static constexpr int kPoolSize = 2000;
  static constexpr int kOutputLimit = 100;
  static constexpr int kIntervalMs = 100;

  explicit TGatherEntropy(TEntropyPlatform& platform);
  ~TGatherEntropy();
  TGatherEntropy(const TGatherEntropy&) = delete;
  TGatherEntropy& operator=(const TGatherEntropy&) = delete;

  // Up to 100 bytes; Outputsize() tells how many are valid.
  const std::uint8_t* TakeOutput();
  int Outputsize() const { return output_size_; }

  std::function<void(TGatherEntropy& sender)> OnPulse;

  // The timer's handler (public for hosts that drive it directly).
  void Tick();

  int WritePosition() const { return write_; }
  int ReadPosition() const { return read_; }
  const std::uint8_t* Pool() const { return pool_.data(); }

 private:
  // Replaces every whole 20-byte block of [start, end) by its SHA-1 digest.
  void Mix(int start, int end);

  TEntropyPlatform& platform_;
  int last_x_ = 0, last_y_ = 0;
  int write_ = kOutputLimit;
  int read_ = 0;
  std::array<std::uint8_t, kPoolSize + 1> pool_{};
  std::array<std::uint8_t, kOutputLimit + 1> output_{};
  int output_size_ = 0;
};

// Fills bytes from the operating system's cryptographic random source.
void OsRandomBytes(std::uint8_t* bytes, std::size_t count);

class TRandomGen;
// Seeds a generator with a full-length seed from the operating system; the
// seed is not kept, so a later Seed() of the generator fails instead of
// reusing it.
void SeedFromOs(TRandomGen& random);

}  // namespace nimbra::engine
