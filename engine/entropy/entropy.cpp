#include "engine/entropy/entropy.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/sha1.h"
#include "engine/entropy/random_gen.h"
#include "engine/errors.h"

namespace nimbra::engine {

void OsRandomBytes(std::uint8_t* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = getrandom(bytes + done, count - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EVRXCryptoNoRandomBits(msg::kNoRandomInput);
    }
    done += static_cast<std::size_t>(got);
  }
}

void SeedFromOs(TRandomGen& random) {
  std::uint8_t seed[TRandomGen::kMaxSeedLength];
  OsRandomBytes(seed, sizeof seed);
  random.SetSeedData(seed);
  random.SetSeedLength(sizeof seed);
  random.Seed();
  // The seed lives only here: a later Seed() must not read it.
  random.SetSeedData(nullptr);
}

TGatherEntropy::TGatherEntropy(TEntropyPlatform& platform) : platform_(platform) {
  OsRandomBytes(pool_.data(), kPoolSize);
  Mix(0, kPoolSize - 1);
  platform_.StartTimer(kIntervalMs, [this] { Tick(); });
}

TGatherEntropy::~TGatherEntropy() {
  platform_.StopTimer();
}

void TGatherEntropy::Tick() {
  platform_.StopTimer();
  try {
    int x = 0, y = 0;
    if (platform_.GetCursorPos(x, y) && (x != last_x_ || y != last_y_)) {
      if (write_ < kPoolSize) {
        pool_[static_cast<std::size_t>(write_++)] = static_cast<std::uint8_t>((x << 4) | (y & 15));
      } else {
        write_ = 0;
      }
      last_x_ = x;
      last_y_ = y;
    }
    if (OnPulse) OnPulse(*this);
  } catch (...) {
    // A failed sample is dropped; the sampler keeps running.
  }
  platform_.StartTimer(kIntervalMs, [this] { Tick(); });
}

const std::uint8_t* TGatherEntropy::TakeOutput() {
  const int r0 = read_, w = write_;
  int n, end, from = r0;
  if (w < r0) {
    n = kPoolSize - r0;
    if (n > kOutputLimit) {
      n = kOutputLimit;
      read_ = r0 + kOutputLimit;
      end = r0 + kOutputLimit;
      if (read_ > kPoolSize - kOutputLimit) {
        read_ = 0;
        end = kPoolSize;
      }
    } else {
      read_ = 0;
      end = 0;
    }
  } else {
    n = w - r0;
    if (n > kOutputLimit) {
      n = kOutputLimit;
      read_ = r0 + kOutputLimit;
    } else if (r0 >= kOutputLimit) {
      n = kOutputLimit;
      from = w - kOutputLimit;
    }
    end = r0 + n;
  }
  std::memcpy(output_.data(), pool_.data() + from, static_cast<std::size_t>(n));
  output_size_ = n;
  Mix(r0, std::min(end, kPoolSize));
  return output_.data();
}

void TGatherEntropy::Mix(int start, int end) {
  for (int s = start; s + 20 <= end; s += 20) {
    std::uint8_t digest[20];
    ComputeSHA1(pool_.data() + s, 20, digest);
    std::memcpy(pool_.data() + s, digest, 20);
  }
}

}  // namespace nimbra::engine
