#include "netconfig/accounts_file.h"

#include <gtest/gtest.h>

namespace nimbra::netconfig {
namespace {

TEST(AccountsFile, LinesSplitAtTheFirstTabWhateverTheirEnds) {
  const auto lines = ParseAccountsFile("A\ta@x\tb@x\r\n\r\nno tab\rC\tc@x\nlast\t");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].name, "A");
  EXPECT_EQ(lines[0].addresses, "a@x\tb@x");
  EXPECT_EQ(lines[1].name, "");  // an empty line is an empty row
  EXPECT_EQ(lines[1].addresses, "");
  EXPECT_EQ(lines[2].name, "");
  EXPECT_EQ(lines[2].addresses, "no tab");
  EXPECT_EQ(lines[3].name, "C");
  EXPECT_EQ(lines[4].name, "last");
  EXPECT_EQ(lines[4].addresses, "");
  EXPECT_TRUE(ParseAccountsFile("").empty());
  EXPECT_EQ(ParseAccountsFile("one\r\n").size(), 1u);
}

}  // namespace
}  // namespace nimbra::netconfig
