#include "engine/crc32.h"

#include <zlib.h>

#include <limits>

#include "engine/bit_array.h"
#include "engine/errors.h"

namespace nimbra::engine {

namespace {

// Entry i is the remainder of i (as the eight lowest coefficients, reflected)
// divided by the polynomial: eight shift-and-reduce steps, each bit held in a
// TCRCBitArray addressed from its least significant end.
std::array<std::uint32_t, 256> BuildTable() {
  std::array<std::uint32_t, 256> table{};
  TCRCBitArray reg(32);
  for (std::uint32_t i = 0; i < 256; ++i) {
    reg.SetValue32(i);
    for (int step = 0; step < 8; ++step) {
      const int low = reg.GetBitLsb(1);
      reg.SetValue32(reg.Value32() >> 1);
      if (low) reg.SetValue32(reg.Value32() ^ 0xEDB88320u);
    }
    table[i] = reg.Value32();
  }
  return table;
}

}  // namespace

const std::array<std::uint32_t, 256>& CRCTable() {
  static const std::array<std::uint32_t, 256> table = BuildTable();
  return table;
}

std::uint32_t TCRC32::UpdateCRC(std::uint32_t crc, std::size_t count, const void* data) {
  if (count == 0) return crc;
  if (data == nullptr) throw ECRC32IllegalDataAccess(msg::kCRC32DataAccess);
  // zlib computes the same table recurrence with its initial and final
  // complement; undoing both gives the bare update, several bytes per step.
  auto bytes = static_cast<const Bytef*>(data);
  uLong c = static_cast<uLong>(crc ^ 0xFFFFFFFFu);
  while (count > 0) {
    const auto piece =
        static_cast<uInt>(std::min<std::size_t>(count, std::numeric_limits<uInt>::max()));
    c = crc32(c, bytes, piece);
    bytes += piece;
    count -= piece;
  }
  return static_cast<std::uint32_t>(c) ^ 0xFFFFFFFFu;
}

std::uint32_t TCRC32::Digest() {
  return UpdateCRC(0xFFFFFFFFu, length_, data_) ^ 0xFFFFFFFFu;
}

}  // namespace nimbra::engine
