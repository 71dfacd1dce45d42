#include "platform/profile/profile_text.h"

#include <gtest/gtest.h>

namespace nimbra::platform {
namespace {

using List = std::vector<std::string>;

const char* const kSample =
    "; written by hand\r\n"
    "orphan=before any section\r\n"
    "[WorkStation]\r\n"
    "  INSTALLED = MESSAGE: \r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Single='x'\r\n"
    "Unmatched=\"x'\r\n"
    "Empty=\r\n"
    "just a line\r\n"
    "; a comment=with equals\r\n"
    "Port=0110abc\r\n"
    "\r\n"
    "[ Users ]  trailing text\r\n"
    "ann=1\r\n"
    "ANN=2\r\n"
    "[workstation]\r\n"
    "Hidden=yes\r\n";

TEST(ProfileRead, WindowsLookupRules) {
  const ProfileText p(kSample);
  EXPECT_EQ(p.ReadString("WORKSTATION", "installed", "-"), "MESSAGE:");
  EXPECT_EQ(p.ReadString("WorkStation", "Quoted", "-"), "  spaced  ");
  EXPECT_EQ(p.ReadString("WorkStation", "Single", "-"), "x");
  EXPECT_EQ(p.ReadString("WorkStation", "Unmatched", "-"), "\"x'");
  EXPECT_EQ(p.ReadRaw("WorkStation", "Quoted"), "\"  spaced  \"");
  // Exact values keep blanks and quotes and lose only the line end.
  EXPECT_EQ(p.ReadExact("WorkStation", "installed"), " MESSAGE: ");
  EXPECT_EQ(p.ReadExact("WorkStation", "Quoted"), "\"  spaced  \"");
  EXPECT_EQ(p.ReadExact("WorkStation", "Empty"), "");
  EXPECT_EQ(p.ReadExact("WorkStation", "Missing"), std::nullopt);
  // Present but empty is not missing.
  EXPECT_EQ(p.ReadString("WorkStation", "Empty", "-"), "");
  EXPECT_TRUE(p.ValueExists("WorkStation", "Empty"));
  EXPECT_EQ(p.ReadString("WorkStation", "Missing", "dflt"), "dflt");
  EXPECT_EQ(p.ReadString("NoSuch", "Empty", "dflt"), "dflt");
  // Lines before the first section, comments and lines without "=" are not keys.
  EXPECT_EQ(p.ReadString("", "orphan", "-"), "-");
  EXPECT_FALSE(p.ValueExists("WorkStation", "; a comment"));
  EXPECT_FALSE(p.ValueExists("WorkStation", "just a line"));
  // Duplicates: the first key of the first section of that name wins.
  EXPECT_EQ(p.ReadString("users", "Ann", "-"), "1");
  EXPECT_FALSE(p.ValueExists("WorkStation", "Hidden"));
  EXPECT_TRUE(p.SectionExists(" users "));
  EXPECT_EQ(p.SectionNames(), (List{"WorkStation", "Users"}));
  EXPECT_EQ(p.KeyNames("workstation"),
            (List{"INSTALLED", "Quoted", "Single", "Unmatched", "Empty", "Port"}));
  EXPECT_EQ(p.SectionValues("USERS"), (List{"ann=1"}));
}

TEST(ProfileRead, IntegersAndBooleans) {
  const ProfileText p(
      "[N]\nlead=0110abc\nword=abc\nempty=\nneg= -5\nquoted=\"8\"\nplus=+3\n"
      "wrap=4294967297\nhex=$10\nzero=0\n");
  EXPECT_EQ(p.ReadInteger("N", "lead", -1), 110);
  EXPECT_EQ(p.ReadInteger("N", "word", -1), 0);
  EXPECT_EQ(p.ReadInteger("N", "empty", -1), -1);
  EXPECT_EQ(p.ReadInteger("N", "missing", -1), -1);
  EXPECT_EQ(p.ReadInteger("N", "neg", 0), -5);
  EXPECT_EQ(p.ReadInteger("N", "quoted", 0), 8);
  EXPECT_EQ(p.ReadInteger("N", "plus", 0), 3);
  EXPECT_EQ(p.ReadInteger("N", "wrap", 0), 1);
  EXPECT_EQ(p.ReadInteger("N", "hex", 7), 0);
  EXPECT_FALSE(p.ReadBool("N", "zero", true));
  EXPECT_TRUE(p.ReadBool("N", "lead", false));
  EXPECT_TRUE(p.ReadBool("N", "missing", true));
  EXPECT_FALSE(p.ReadBool("N", "empty", false));
}

TEST(ProfileRead, Windows1252NamesMatchWithoutCase) {
  const ProfileText p("[Caf\xE9]\n\xE9t\xE9=summer\n");
  EXPECT_EQ(p.ReadString("CAF\xC9", "\xC9T\xC9", "-"), "summer");
}

TEST(ProfileWrite, ChangesOnlyTheLinesItMust) {
  ProfileText p(kSample);
  p.WriteString("workstation", "installed", "NEW");
  p.WriteString("WorkStation", "Added", "a b");
  p.WriteString("users", "ANN", "3");
  std::string expected = kSample;
  expected.replace(expected.find("  INSTALLED = MESSAGE: "), 23, "  INSTALLED = NEW");
  expected.replace(expected.find("\r\n\r\n[ Users ]"), 2, "\r\nAdded=a b\r\n");
  expected.replace(expected.find("ann=1"), 5, "ann=3");
  EXPECT_EQ(p.Content(), expected);
  EXPECT_EQ(p.ReadString("Users", "ann", "-"), "3");
  EXPECT_EQ(p.ReadString("workstation", "Hidden", "-"), "-");
}

TEST(ProfileWrite, NewSectionsAndKeysPlacement) {
  ProfileText p("[A]\nx=1\n; note\n\n[B]\n[C]\ny=2");
  p.WriteString("B", "k", "v");      // right after an empty section's header
  p.WriteString("A", "z", "2");      // after the last key, before comment and blank line
  p.WriteString("C", "w", "3");      // after a last line without line end
  p.WriteString("New", "key", "v");  // new section at the end after an empty line
  EXPECT_EQ(p.Content(), "[A]\nx=1\nz=2\n; note\n\n[B]\nk=v\n[C]\ny=2\nw=3\n\n[New]\nkey=v\n");

  ProfileText fresh;
  fresh.WriteString("S", "k", "v");
  fresh.WriteInteger("S", "n", -42);
  fresh.WriteBool("S", "b", true);
  EXPECT_EQ(fresh.Content(), "[S]\r\nk=v\r\nn=-42\r\nb=1\r\n");

  ProfileText blank_end("[A]\r\nx=1\r\n\r\n");
  blank_end.WriteString("B", "y", "2");
  EXPECT_EQ(blank_end.Content(), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
}

TEST(ProfileWrite, LineEndsOfTheFileAreKept) {
  ProfileText mixed("[A]\nx=1\r\ny=2\n");
  mixed.WriteString("A", "y", "3");
  mixed.WriteString("A", "z", "4");
  EXPECT_EQ(mixed.Content(), "[A]\nx=1\r\ny=3\nz=4\n");
}

TEST(ProfileWrite, RefusesNamesAndValuesThatWouldNotReadBack) {
  ProfileText p;
  EXPECT_THROW(p.WriteString("S", "a=b", "v"), ProfileError);
  EXPECT_THROW(p.WriteString("S", "[k", "v"), ProfileError);
  EXPECT_THROW(p.WriteString("S", ";k", "v"), ProfileError);
  EXPECT_THROW(p.WriteString("S", " ", "v"), ProfileError);
  EXPECT_THROW(p.WriteString("S", "k", "line\r\nbreak"), ProfileError);
  EXPECT_THROW(p.WriteString("S\nT", "k", "v"), ProfileError);
  EXPECT_TRUE(p.Empty());
  // Names are matched trimmed, so blanks around them find the same key.
  p.WriteString(" S ", " k ", "v");
  p.WriteString("s", "K", "w");
  EXPECT_EQ(p.Content(), "[S]\r\nk=w\r\n");
}

TEST(ProfileDelete, KeysAndSectionsWithTheirDuplicates) {
  ProfileText p("[A]\nk=1\nK=2\nj=3\n\n[B]\nx=1\n[a]\nk=9\n");
  EXPECT_TRUE(p.DeleteKey("a", "k"));
  EXPECT_FALSE(p.ValueExists("A", "k"));  // the duplicate does not surface
  EXPECT_FALSE(p.DeleteKey("A", "k"));
  EXPECT_FALSE(p.DeleteKey("none", "k"));
  EXPECT_EQ(p.Content(), "[A]\nj=3\n\n[B]\nx=1\n[a]\nk=9\n");
  EXPECT_TRUE(p.DeleteSection("A"));
  EXPECT_EQ(p.Content(), "[B]\nx=1\n");
  EXPECT_FALSE(p.DeleteSection("A"));
}

TEST(ProfileParse, OddInputNeverFails) {
  const std::string bom = "\xEF\xBB\xBF[S]\nk=v\n";
  ProfileText with_bom(bom);
  EXPECT_EQ(with_bom.ReadString("S", "k", "-"), "v");
  EXPECT_EQ(with_bom.Content(), bom);

  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 131) % 256);
  ProfileText g(garbage);
  EXPECT_EQ(g.Content(), garbage);
  g.WriteString("S", "k", "v");
  EXPECT_EQ(g.ReadString("S", "k", "-"), "v");

  const std::string long_value(1 << 20, 'x');
  ProfileText big("[S]\nk=" + long_value + "\n[" + long_value);
  EXPECT_EQ(big.ReadString("S", "k", "-").size(), long_value.size());
  EXPECT_EQ(big.SectionNames().size(), 2u);

  ProfileText headers("[unclosed\nk=1\n[]\nj=2\n[a]b]\nx=3\n");
  EXPECT_EQ(headers.ReadString("unclosed", "k", "-"), "1");
  EXPECT_EQ(headers.ReadString("", "j", "-"), "2");
  EXPECT_EQ(headers.ReadString("a]b", "x", "-"), "3");
}

}  // namespace
}  // namespace nimbra::platform
