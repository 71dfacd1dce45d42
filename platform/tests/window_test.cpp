#include "platform/processes/window.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

TEST(Windows, FindAndCloseByTitleUnlessTheWindowIgnoresQuit) {
  TestMachine machine;
  Windows windows(machine.Root());
  WindowHandle proxy = windows.Open("TNimbraForm", "Nimbra.exe");
  WindowHandle queue = windows.Open("TQueueForm", "NimbraQue.exe", /*ignores_quit=*/true);
  EXPECT_NE(proxy, queue);

  EXPECT_EQ(windows.FindWindow(std::nullopt, "nimbra.exe"), proxy);  // titles ignore case
  EXPECT_EQ(windows.FindWindow("tqueueform", std::nullopt), queue);
  EXPECT_EQ(windows.FindWindow("TNimbraForm", "NimbraQue.exe"), 0u);
  EXPECT_EQ(windows.FindWindow(std::nullopt, "NimbraPost Auto Setup"), 0u);

  EXPECT_TRUE(windows.PostMessage(queue, kWmQuit));
  EXPECT_TRUE(windows.PostMessage(queue, kWmClose));
  EXPECT_TRUE(windows.IsWindow(queue));  // still there after both requests

  EXPECT_TRUE(windows.PostMessage(proxy, 0x0400));  // other messages change nothing
  EXPECT_TRUE(windows.IsWindow(proxy));
  EXPECT_TRUE(windows.PostMessage(proxy, kWmQuit));
  EXPECT_FALSE(windows.IsWindow(proxy));
  EXPECT_EQ(windows.FindWindow(std::nullopt, "nimbra.exe"), 0u);
  EXPECT_FALSE(windows.PostMessage(proxy, kWmQuit));
  EXPECT_EQ(windows.LastError(), kErrorInvalidWindowHandle);

  // A second object (another program of the machine) sees the same table.
  Windows other(machine.Root());
  ASSERT_EQ(other.Enumerate().size(), 1u);
  EXPECT_EQ(other.Enumerate()[0].title, "NimbraQue.exe");
  // Handles are never reused while a window with a higher one is open.
  EXPECT_GT(other.Open("X", "Y"), queue);
}

TEST(Windows, ReadsAHandSeededTable) {
  TestMachine machine;
  std::filesystem::path table = EmulationFolder(machine.Root()) / "windows.txt";
  std::filesystem::create_directories(table.parent_path());
  std::ofstream(table) << "# seeded by a test\n"
                          "0x100\tTSetupForm\tNimbraPost Auto Setup\t-\n"
                          "300\tTNimbraSrv\tnimbraSrv32.exe\tignores-quit\n"
                          "bad line\n";
  Windows windows(machine.Root());
  EXPECT_EQ(windows.FindWindow(std::nullopt, "NimbraPost Auto Setup"), 0x100u);
  std::optional<WindowInfo> srv = windows.Info(300);
  ASSERT_TRUE(srv.has_value());
  EXPECT_TRUE(srv->ignores_quit);
  EXPECT_EQ(windows.Enumerate().size(), 2u);
  EXPECT_TRUE(windows.PostMessage(0x100, kWmClose));
  EXPECT_EQ(windows.Enumerate().size(), 1u);
}

}  // namespace
}  // namespace nimbra::platform
