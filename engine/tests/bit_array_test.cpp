#include "engine/bit_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/bit_queue.h"
#include "engine/crc32.h"
#include "engine/errors.h"
#include "engine/tests/every_path.h"
#include "engine/tests/message_of.h"

using namespace nimbra::engine;
using nimbra::MemoryStream;

namespace {

TEST(BitArray, LengthLimitsAreCheckedLongBeforeZero) {
  EXPECT_EQ(TBitArray(8192).WordCount(), 256);
  EXPECT_EQ(MessageOf<EBitArrayTooLong>([] { TBitArray a(8193); }), "Max. bit array length = 8192");
  EXPECT_EQ(MessageOf<EBitArrayZeroLength>([] { TBitArray a(0); }),
            "Attempt to create 0-length bit array");
  EXPECT_EQ(MessageOf<EBitArrayTooLong>([] { TCRCBitArray a(33); }),
            "Max. TCRCBitArray length = 32");
  // Every engine error derives from the engine's root.
  EXPECT_THROW(TBitArray(-1), EVRXCryptoSys);
}

TEST(BitArray, BitAndByteViewsAreMostSignificantFirst) {
  TBitArray a(607);
  EXPECT_EQ(a.WordCount(), 19);
  EXPECT_EQ(a.ByteCount(), 76);
  a.SetBit(0, 1);
  EXPECT_EQ(a.Words()[0], 0x80000000u);
  EXPECT_EQ(a.GetByte(0), 0x80);
  a.SetByte(1, 0xA5);
  EXPECT_EQ(a.Words()[0], 0x80A50000u);
  EXPECT_EQ(a.GetByte(75), 0);
  EXPECT_EQ(MessageOf<EBitArrayInvalidIndex>([&] { a.GetByte(76); }),
            "Bit array byte index invalid: 76");
  EXPECT_EQ(MessageOf<EBitArrayInvalidIndex>([&] { a.SetBit(607, 1); }),
            "Bit array index invalid: 607");
  // The last byte holds bits 600..607; bit 607 is padding and stays clear.
  a.SetByte(75, 0xFF);
  EXPECT_EQ(a.GetByte(75), 0xFE);
  EXPECT_EQ(a.GetBit(606), 1);
}

TEST(BitArray, Value32OfShortAndLongArrays) {
  TBitArray a(16);
  a.SetValue32(0x1234);
  EXPECT_EQ(a.Words()[0], 0x12340000u);
  EXPECT_EQ(a.Value32(), 0x1234u);
  TBitArray b(40);
  b.SetValue32(0xDEADBEEF);
  EXPECT_EQ(b.Value32(), 0xDEADBEEFu);
  TCRCBitArray c(8);
  c.SetValue32(0x81);
  EXPECT_EQ(c.GetBitLsb(1), 1);
  EXPECT_EQ(c.GetBitLsb(2), 0);
  EXPECT_EQ(c.GetBitLsb(8), 1);
}

TEST(BitArray, AssignXorAndExternalBuffers) {
  TBitArray longer(64), shorter(40);
  longer.SetValue32(0xFFFFFFFF);
  longer.SetBit(63, 1);
  shorter.Assign(longer);
  EXPECT_EQ(shorter.Words()[0], 0xFFFFFFFFu);
  EXPECT_EQ(shorter.Words()[1], 0u);  // bit 63 of the source is padding here
  EXPECT_EQ(MessageOf<EBitArrayInvalidOperation>([&] { longer.Assign(shorter); }),
            "TBitArray.Assign: source too short ");
  EXPECT_EQ(MessageOf<EBitArrayInvalidOperation>([&] { longer.XorWith(shorter); }),
            "Attempt to XOR TBitArrays of different lengths");
  TBitArray copy(longer);
  copy.XorWith(longer);
  EXPECT_EQ(copy.Words()[0] | copy.Words()[1], 0u);

  std::uint32_t storage[2] = {0x01020304, 0};
  std::uint32_t other[2] = {0xA0000000, 0};
  TBitArray view(33, storage);
  EXPECT_FALSE(view.OwnsBuffer());
  EXPECT_EQ(view.GetByte(3), 0x04);
  view.AttachBuffer(other);
  EXPECT_EQ(view.GetBit(0), 1);
  EXPECT_EQ(view.GetBit(2), 1);
  TBitArray owner(33);
  owner.AttachBuffer(other);  // owned arrays keep their words
  EXPECT_EQ(owner.GetBit(0), 0);
}

TEST(BitArray, StreamFormatAndLoadChecks) {
  TBitArray a(40);
  a.SetValue32(0x11223344);
  a.SetBit(39, 1);
  MemoryStream s;
  a.SaveToStream(s);
  const std::vector<std::uint8_t> expected = {40, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0x01};
  EXPECT_EQ(s.Data(), expected);

  s.SetPosition(0);
  TBitArray wrong(41);
  EXPECT_EQ(MessageOf<EBitArrayStreamLoadFailure>([&] { wrong.LoadFromStream(s); }),
            "Error loading BitArray from stream");
  MemoryStream truncated(expected.data(), expected.size() - 1);
  TBitArray b(40);
  EXPECT_THROW(b.LoadFromStream(truncated), EBitArrayStreamLoadFailure);

  // Loaded padding bits (here the low 24 bits of word 1) are kept as stored
  // and saved back unchanged.
  std::vector<std::uint8_t> padded = expected;
  padded[8] = 0xFF;
  MemoryStream p(padded);
  b.LoadFromStream(p);
  EXPECT_EQ(b.Words()[1], 0x010000FFu);
  MemoryStream again;
  b.SaveToStream(again);
  EXPECT_EQ(again.Data(), padded);
}

TEST(BitQueue, InsertsAndExtractsInOrder) {
  TCustomBitQueue q(100);
  EXPECT_EQ(q.Capacity(), 128);
  EXPECT_EQ(q.LowWaterMark(), -1);
  int empties = 0, lows = 0;
  q.OnEmpty = [&](TCustomBitQueue&) { ++empties; };
  q.OnLow = [&](TCustomBitQueue&) { ++lows; };
  q.Insert(5, 3);
  q.Insert(1, 1);
  EXPECT_EQ(q.Extract(4), 13u);
  EXPECT_EQ(empties, 1);
  EXPECT_EQ(lows, 0);
  EXPECT_EQ(MessageOf<EBitQueueUnderflow>([&] { q.Extract(1); }), "Bit queue underflow");
  EXPECT_EQ(empties, 1);

  // Values cross word boundaries and come back in insertion order.
  const std::uint32_t values[] = {0x7FFFFFFF, 3, 0x12345, 0, 0x55555555, 1};
  const int widths[] = {31, 2, 20, 5, 31, 1};
  for (int i = 0; i < 6; ++i) q.Insert(values[i], widths[i]);
  q.Insert32(0xCAFEBABE);
  EXPECT_EQ(q.Count(), 122);
  EXPECT_EQ(q.Peek(31), 0x7FFFFFFFu);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(q.Extract(widths[i]), values[i]) << i;
  EXPECT_EQ(q.Extract(32), 0xCAFEBABEu);
}

TEST(BitQueue, LimitsEventsAndCheckOrder) {
  TCustomBitQueue q(64);
  int fulls = 0, lows = 0;
  q.OnFull = [&](TCustomBitQueue&) { ++fulls; };
  q.OnLow = [&](TCustomBitQueue&) { ++lows; };
  EXPECT_EQ(MessageOf<EBitQueueInvalidInsert>([&] { q.Insert(0, 32); }),
            "32 exceeds max 31 queue insertion bits");
  q.Insert(0, 31);
  q.Insert(0, 30);
  EXPECT_EQ(MessageOf<EBitQueueOverflow>([&] { q.Insert32(1); }), "Bit queue overflow");
  // The 31-bit limit is checked before the overflow.
  EXPECT_THROW(q.Insert(0, 40), EBitQueueInvalidInsert);
  q.Insert(7, 3);
  EXPECT_EQ(fulls, 1);
  EXPECT_EQ(MessageOf<EBitQueueInvalidPeek>([&] { q.Peek(33); }),
            "33 exceeds max 32 queue peek bits");
  EXPECT_EQ(MessageOf<EBitQueueInvalidExtract>([&] { q.Extract(33); }),
            "33 exceeds max 32 queue extraction bits");
  q.SetLowWaterMark(0);
  EXPECT_EQ(q.LowWaterMark(), 1);
  q.SetLowWaterMark(1000);
  EXPECT_EQ(q.LowWaterMark(), 63);
  q.SetLowWaterMark(40);
  q.Discard(20);
  EXPECT_EQ(lows, 0);
  q.Discard(4);
  EXPECT_EQ(lows, 1);
  // Underflow is checked before the 32-bit limit, "not enough bits" before
  // the peek limit.
  EXPECT_THROW(q.Extract(50), EBitQueueUnderflow);
  EXPECT_EQ(MessageOf<EBitQueueInvalidPeek>([&] { q.Peek(41); }),
            "Not enough bits in queue for peek");
}

TEST(CRC32, StandardValuesAndPieces) {
  test::OnEveryPath([] {
    const char* check = "123456789";
    EXPECT_EQ(TCRC32::Of(9, check), 0xCBF43926u);
    EXPECT_EQ(TCRC32::Of(0, nullptr), 0u);
    TCRC32 digest(9, check);
    EXPECT_EQ(digest.Digest(), 0xCBF43926u);
    std::uint32_t crc = 0xFFFFFFFFu;
    digest.Update(crc, 4, check);
    digest.Update(crc, 5, check + 4);
    EXPECT_EQ(crc ^ 0xFFFFFFFFu, 0xCBF43926u);
    const auto& table = CRCTable();
    EXPECT_EQ(table[1], 0x77073096u);
    EXPECT_EQ(table[128], 0xEDB88320u);
    EXPECT_EQ(table[255], 0x2D02EF8Du);
    // The bulk update equals the one-lookup-per-byte recurrence.
    std::vector<std::uint8_t> data(1000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37 + 11);
    std::uint32_t slow = 0x12345678;
    for (auto b : data) slow = table[(slow ^ b) & 0xFF] ^ (slow >> 8);
    EXPECT_EQ(TCRC32::UpdateCRC(0x12345678, data.size(), data.data()), slow);
    EXPECT_THROW(TCRC32::UpdateCRC(0, 5, nullptr), ECRC32IllegalDataAccess);
  });
}

// The folded bulk path (64 bytes and more) against the byte recurrence, for
// every length around its 16- and 64-byte boundaries, odd start addresses and
// arbitrary running values.
TEST(CRC32, BulkUpdateMatchesTheByteRecurrenceAtEveryLengthAndAlignment) {
  test::OnEveryPath([] {
    const auto& table = CRCTable();
    std::vector<std::uint8_t> data(700);
    std::uint32_t x = 2463534242u;
    for (auto& b : data) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      b = static_cast<std::uint8_t>(x);
    }
    for (std::size_t offset : {0u, 1u, 7u}) {
      for (std::size_t length = 0; length + offset <= 300; ++length) {
        const auto start = static_cast<std::uint32_t>(length * 0x9E3779B9u);
        std::uint32_t slow = start;
        for (std::size_t i = 0; i < length; ++i) {
          slow = table[(slow ^ data[offset + i]) & 0xFF] ^ (slow >> 8);
        }
        ASSERT_EQ(TCRC32::UpdateCRC(start, length, data.data() + offset), slow)
            << "length " << length << " offset " << offset;
      }
    }
    // Pieces of any size chain to the whole.
    std::uint32_t pieces = 0xFFFFFFFFu;
    for (std::size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 97 + 1) {
      pieces = TCRC32::UpdateCRC(pieces, std::min(step, data.size() - at), data.data() + at);
    }
    EXPECT_EQ(pieces ^ 0xFFFFFFFFu, TCRC32::Of(data.size(), data.data()));
  });
}

}  // namespace
