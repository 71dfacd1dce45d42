#include "platform/ipc/shared_memory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

bool NameExists(const std::string& posixName) {
  int fd = shm_open(posixName.c_str(), O_RDONLY, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

TEST(SharedMemory, CreatorGetsZerosSecondOpenerSharesBytesAndLastCloseRemoves) {
  TestMachine machine;
  std::string posix = SharedMemory::PosixName(machine.Root(), "xpslg");
  {
    SharedMemory first(machine.Root(), "xpslg", 172);
    EXPECT_FALSE(first.Existed());
    ASSERT_EQ(first.Size(), 172u);
    EXPECT_TRUE(
        std::all_of(first.Bytes().begin(), first.Bytes().end(), [](auto b) { return b == 0; }));
    first.Bytes()[0] = 5;
    std::memcpy(&first.Bytes()[1], "alice", 5);
    {
      SharedMemory second(machine.Root(), "xpslg", 50);  // the existing size wins
      EXPECT_TRUE(second.Existed());
      EXPECT_EQ(second.Size(), 172u);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(&second.Bytes()[1]), 5), "alice");
      second.Bytes()[171] = 0xAB;
    }
    EXPECT_EQ(first.Bytes()[171], 0xAB);
    EXPECT_TRUE(NameExists(posix));  // still open in `first`
  }
  EXPECT_FALSE(NameExists(posix));
  SharedMemory fresh(machine.Root(), "xpslg", 172);
  EXPECT_FALSE(fresh.Existed());
  EXPECT_EQ(fresh.Bytes()[0], 0);
}

TEST(SharedMemory, NamesAreScopedToTheMachineAndCaseSensitive) {
  TestMachine one, two;
  SharedMemory a(one.Root(), "xpslg", 16);
  SharedMemory b(two.Root(), "xpslg", 16);
  SharedMemory c(one.Root(), "XPSLG", 16);
  EXPECT_FALSE(b.Existed());
  EXPECT_FALSE(c.Existed());
  a.Bytes()[0] = 1;
  EXPECT_EQ(b.Bytes()[0], 0);
  EXPECT_EQ(c.Bytes()[0], 0);
  std::string odd = SharedMemory::PosixName(one.Root(), "Local\\a b/c");
  EXPECT_EQ(odd.find('/', 1), std::string::npos);
  EXPECT_NE(odd.find("Local%5Ca%20b%2Fc"), std::string::npos);
  EXPECT_LT(SharedMemory::PosixName(one.Root(), std::string(1000, '#')).size(), 255u);
  EXPECT_THROW(SharedMemory(one.Root(), "empty", 0), SharedMemoryError);
}

TEST(SharedMemory, SeenAcrossForkAndFreedWhenItsUsersDie) {
  TestMachine machine;
  SharedMemory parent(machine.Root(), "xpslg", 172);
  parent.Bytes()[0] = 42;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child opens its own object, reads the parent's byte and answers.
    SharedMemory mine(machine.Root(), "xpslg", 172);
    bool ok = mine.Existed() && mine.Bytes()[0] == 42;
    mine.Bytes()[1] = 43;
    _exit(ok ? 0 : 1);  // dies without closing `mine`
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(parent.Bytes()[1], 43);

  // A block whose only user died without closing is gone for the next opener.
  std::string posix = SharedMemory::PosixName(machine.Root(), "orphan");
  pid_t dier = fork();
  ASSERT_GE(dier, 0);
  if (dier == 0) {
    SharedMemory left(machine.Root(), "orphan", 8);
    left.Bytes()[0] = 9;
    _exit(0);
  }
  ASSERT_EQ(waitpid(dier, &status, 0), dier);
  EXPECT_TRUE(NameExists(posix));
  {
    SharedMemory next(machine.Root(), "orphan", 8);
    EXPECT_FALSE(next.Existed());
    EXPECT_EQ(next.Bytes()[0], 0);
  }
  EXPECT_FALSE(NameExists(posix));
}

}  // namespace
}  // namespace nimbra::platform
