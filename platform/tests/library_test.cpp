#include "platform/processes/library.h"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "platform/files/path.h"
#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

// A stand-in with state, reached both through its exports and as an object.
class Counter : public LibraryStandIn {
 public:
  explicit Counter(const LoadedFile& file) : file_(file) {
    Export("Add", [this](int n) -> int { return total_ += n; });
    Export("Name", [this]() -> std::string { return file_.windows_path; });
    ++alive;
  }
  ~Counter() override { --alive; }
  int Total() const { return total_; }
  static inline int alive = 0;

 private:
  LoadedFile file_;
  int total_ = 0;
};

class LibraryLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.PutFile("C:\\WINDOWS\\SYSTEM\\Calyxx.dll", "MZ");
    machine_.PutFile("C:\\Apps\\MailDB32.dll", "MZ");
    machine_.PutFile("C:\\Apps\\Plain.dll", "MZ");
    machine_.PutFile("C:\\Tools\\pgpsdk.dll", "MZ");
    SearchPath search;
    search.program_dir = "C:\\Setup";
    search.system_dir = "C:\\WINDOWS\\SYSTEM";
    search.windows_dir = "C:\\WINDOWS";
    search.path = "C:\\Nothing;;C:\\Tools";
    loader_ = std::make_unique<LibraryLoader>(search, ResolverFor(*machine_));
    auto factory = [](const LoadedFile& f) { return std::make_unique<Counter>(f); };
    loader_->RegisterStandIn("CALYXX.DLL", factory);
    loader_->RegisterStandIn("maildb32.dll", factory);
    loader_->RegisterStandIn("pgpsdk.dll", factory);
  }
  TestMachine machine_;
  std::unique_ptr<LibraryLoader> loader_;
};

TEST_F(LibraryLoaderTest, BindsStandInsByFileNameAndSearchesTheFolders) {
  ModuleHandle byPath = loader_->LoadLibrary("C:\\Apps\\MailDB32.dll");
  ASSERT_GE(byPath, 32u);
  EXPECT_EQ(loader_->ModuleFileName(byPath), "C:\\Apps\\MailDB32.dll");

  // Bare names, with and without extension, found in the system folder and on PATH.
  ModuleHandle caly = loader_->LoadLibrary("calyxx");
  ASSERT_NE(caly, 0u);
  EXPECT_EQ(loader_->ModuleFileName(caly), "C:\\WINDOWS\\SYSTEM\\calyxx.dll");
  ModuleHandle pgp = loader_->LoadLibrary("pgpsdk.dll");
  ASSERT_NE(pgp, 0u);
  EXPECT_EQ(loader_->ModuleFileName(pgp), "C:\\Tools\\pgpsdk.dll");

  auto add = loader_->GetProc<int(int)>(caly, "Add");
  ASSERT_TRUE(add);
  add(2);
  EXPECT_EQ(add(3), 5);
  EXPECT_EQ(loader_->StandInAs<Counter>(caly)->Total(), 5);
  EXPECT_EQ(loader_->GetProc<std::string()>(pgp, "Name")(), "C:\\Tools\\pgpsdk.dll");
}

TEST_F(LibraryLoaderTest, FailuresCarryTheWindowsErrorCodes) {
  EXPECT_EQ(loader_->LoadLibrary("C:\\Apps\\Missing.dll"), 0u);
  EXPECT_EQ(loader_->LastError(), kErrorModNotFound);
  EXPECT_EQ(loader_->LoadLibrary("ExtAuth.dll"), 0u);  // registered nowhere, on disk nowhere
  EXPECT_EQ(loader_->LastError(), kErrorModNotFound);
  // On disk but nothing stands in for it.
  EXPECT_EQ(loader_->LoadLibrary("C:\\Apps\\Plain.dll"), 0u);
  EXPECT_EQ(loader_->LastError(), kErrorBadExeFormat);
  // A registered stand-in alone is not enough: the file must exist where asked.
  EXPECT_EQ(loader_->LoadLibrary("C:\\Setup\\MailDB32.dll"), 0u);
  EXPECT_EQ(loader_->LastError(), kErrorModNotFound);

  // A stand-in whose start-up fails.
  machine_.PutFile("C:\\Apps\\Broken.dll", "MZ");
  loader_->RegisterStandIn("Broken.dll", [](const LoadedFile&) -> std::unique_ptr<LibraryStandIn> {
    throw std::runtime_error("no card reader");
  });
  EXPECT_EQ(loader_->LoadLibrary("C:\\Apps\\Broken.dll"), 0u);
  EXPECT_EQ(loader_->LastError(), kErrorDllInitFailed);

  ModuleHandle mail = loader_->LoadLibrary("C:\\Apps\\MailDB32.dll");
  ASSERT_NE(mail, 0u);
  EXPECT_EQ(loader_->GetProcAddress(mail, "NoSuchExport"), nullptr);
  EXPECT_EQ(loader_->LastError(), kErrorProcNotFound);
  EXPECT_EQ(loader_->GetProcAddress(mail, "add"), nullptr);  // export names keep their case
  EXPECT_EQ(loader_->LastError(), kErrorProcNotFound);
  // Asking for an export with the wrong signature yields nothing rather than a bad call.
  EXPECT_FALSE(loader_->GetProc<int(std::string)>(mail, "Add"));
  EXPECT_EQ(loader_->LastError(), kErrorProcNotFound);
  EXPECT_EQ(loader_->GetProcAddress(mail + 1, "Add"), nullptr);
  EXPECT_EQ(loader_->LastError(), kErrorInvalidHandle);
  EXPECT_FALSE(loader_->FreeLibrary(12345));
}

TEST_F(LibraryLoaderTest, LoadsAreCountedAndTheLastFreeDestroysTheStandIn) {
  ASSERT_EQ(Counter::alive, 0);
  ModuleHandle first = loader_->LoadLibrary("C:\\Apps\\MailDB32.dll");
  ModuleHandle again = loader_->LoadLibrary("c:\\apps\\maildb32.DLL");
  ModuleHandle bare = loader_->LoadLibrary("MAILDB32");  // already loaded: reused by name
  EXPECT_EQ(first, again);
  EXPECT_EQ(first, bare);
  EXPECT_EQ(loader_->LoadCount(first), 3);
  EXPECT_EQ(Counter::alive, 1);
  loader_->GetProc<int(int)>(first, "Add")(7);
  EXPECT_TRUE(loader_->FreeLibrary(first));
  EXPECT_TRUE(loader_->FreeLibrary(first));
  EXPECT_EQ(loader_->StandInAs<Counter>(first)->Total(), 7);  // state kept while loaded
  EXPECT_TRUE(loader_->FreeLibrary(first));
  EXPECT_EQ(Counter::alive, 0);
  EXPECT_EQ(loader_->StandIn(first), nullptr);
  EXPECT_FALSE(loader_->FreeLibrary(first));
  // A fresh load starts a fresh instance.
  ModuleHandle later = loader_->LoadLibrary("C:\\Apps\\MailDB32.dll");
  EXPECT_EQ(loader_->StandInAs<Counter>(later)->Total(), 0);
}

TEST(LibrarySearch, NamesAndFolders) {
  EXPECT_EQ(WithDefaultExtension("pgpsdk", ".dll"), "pgpsdk.dll");
  EXPECT_EQ(WithDefaultExtension("C:\\A.B\\lib", ".dll"), "C:\\A.B\\lib.dll");
  EXPECT_EQ(WithDefaultExtension("lib.", ".dll"), "lib");
  EXPECT_EQ(WithDefaultExtension("x.ocx", ".dll"), "x.ocx");
  EXPECT_EQ(JoinWindowsPath("C:\\WINDOWS\\", "\\net.exe"), "C:\\WINDOWS\\net.exe");
  SearchPath s{"C:\\P", "", "C:\\S", "C:\\W", ";C:\\X;C:\\Y"};
  EXPECT_EQ(s.Directories(),
            (std::vector<std::string>{"C:\\P", "C:\\S", "C:\\W", "C:\\X", "C:\\Y"}));
}

}  // namespace
}  // namespace nimbra::platform
