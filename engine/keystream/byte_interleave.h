#pragma once

// Interleaving two byte runs by a selection bit array, XORed into data.

#include <cstddef>
#include <cstdint>

namespace nimbra::engine::interleave {

// data[i] ^= the next byte of from3 where bit i of sel is 1, else the next
// byte of from2 (sel: 32 bits a word, bit 0 first). Both runs must be
// readable 8 bytes past the bytes taken from them. By byte shuffles where the
// processor has them (Routine::kByteInterleave of engine/cpu_features.h).
void XorInterleaved(std::uint8_t* data, const std::uint32_t* sel, const std::uint8_t* from2,
                    const std::uint8_t* from3, std::size_t count);

}  // namespace nimbra::engine::interleave
