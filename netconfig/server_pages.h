#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "setupstate/wizard_context.h"

namespace nimbra::netconfig {

// How long the connection tests wait, and the port the bind test listens on.
// The wizard uses the defaults; tests shorten the waits and move the bind
// test off port 25, which needs no rights elsewhere.
struct TestLimits {
  std::uint16_t bindPort = 25;
  // Connecting polls the socket while the window's messages run; a dead
  // address gives up after this long.
  std::chrono::milliseconds connectWait{30000};
  // The wait for the server's greeting line.
  std::chrono::milliseconds lineWait{30000};
};

// The pages of the server editions: installation details (TabSheet27), the
// listening ports (TabSheet23), the accounts grid (TabSheet24) and the
// gateway steps (TabSheet32 to TabSheet36) with their buttons and the
// connection tests.
class ServerPages {
 public:
  explicit ServerPages(setup::WizardContext& wizard) : wizard_(wizard) {}

  TestLimits limits;

  void TabSheet27Exit();
  void TabSheet23Exit();
  void TabSheet24Enter();
  void BitBtn1Click();

  void TabSheet32Enter();
  void TabSheet32Exit();
  void ADDNbrIPClick();
  void RemoveNbrIPClick();
  void TestNimbraIPClick();

  void TabSheet33Exit();
  void RemoveInternalClick();
  void TestInternalClick();

  void TabSheet34Enter();
  void TabSheet34Exit();
  void SendiPAddClick();
  void SendIPRemoveClick();

  void TabSheet35Exit();
  void Button7Click();

  void TabSheet36Enter();

 private:
  // Keeps the user on the page after a message, naming the control whose
  // value was refused.
  void Stay(const std::string& control, const std::string& message);
  // The banner test of a server box and its port box; the internal server's
  // box takes the dotted address after a good greeting.
  void BannerTest(const std::string& addressBox, const std::string& portBox,
                  const std::string& emptyMessage, bool keepDotted);

  setup::WizardContext& wizard_;
};

// Creates the pages' handlers, registers them and the buttons' clicks on the
// wizard's context and form; the context keeps them for the run.
std::shared_ptr<ServerPages> RegisterServerPages(setup::WizardContext& wizard);

}  // namespace nimbra::netconfig
