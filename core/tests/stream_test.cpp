#include "core/stream.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testsupport/temp_folder.h"

namespace nimbra {
namespace {

TEST(MemoryStream, ReadReturnsCountReadAndStopsAtEnd) {
  MemoryStream s;
  s.WriteBuffer("abcdef", 6);
  s.SetPosition(4);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 2u);
  EXPECT_EQ(std::string(buf, 2), "ef");
  EXPECT_EQ(s.Read(buf, 8), 0u);
  s.SetPosition(5);
  EXPECT_THROW(s.ReadBuffer(buf, 2), StreamError);
  EXPECT_THROW(s.Seek(-1, SeekOrigin::Begin), StreamError);
}

TEST(MemoryStream, WritePastEndExtendsAndLittleEndianIntegers) {
  MemoryStream s;
  s.Seek(2, SeekOrigin::Begin);
  s.WriteU32(0x11223344);
  ASSERT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Data()[2], 0x44);
  EXPECT_EQ(s.Data()[5], 0x11);
  s.SetPosition(2);
  EXPECT_EQ(s.ReadU32(), 0x11223344u);
}

TEST(FileStream, RoundTripAndCopyWhole) {
  const testsupport::TempFolder folder("nimbra-stream");
  const auto path = folder / "stream";
  {
    FileStream f(path.string(), FileMode::Create);
    f.WriteBuffer("hello world", 11);
    EXPECT_EQ(f.Size(), 11);
  }
  FileStream f(path.string(), FileMode::OpenRead);
  f.Seek(6, SeekOrigin::Begin);
  MemoryStream m;
  EXPECT_EQ(m.CopyFrom(f, 0), 11);  // count 0 copies everything from the start
  EXPECT_EQ(std::string(m.Data().begin(), m.Data().end()), "hello world");
  std::filesystem::remove(path);
  EXPECT_THROW(FileStream(path.string(), FileMode::OpenRead), StreamError);
}

}  // namespace
}  // namespace nimbra
