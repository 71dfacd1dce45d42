#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

#include "keys/tests/fake_ui.h"
#include "setup/tsetup_form.h"
#include "testsupport/test_machine.h"

namespace nimbra::setup {
namespace {

// A Ui whose cursor positions are given by the test; a position of (-1, -1)
// makes the cursor read fail. It notes whether the window was enabled while
// the cursor was read.
class CursorUi : public keys::test::FakeUi {
 public:
  std::deque<ui::Point> positions;
  std::function<void()> tick;
  int interval = 0;
  ui::Form* window = nullptr;
  std::vector<bool> enabledDuringTick;

  ui::Point CursorPos() override {
    if (window != nullptr) enabledDuringTick.push_back(window->enabled);
    const ui::Point at = positions.front();
    positions.pop_front();
    if (at.x < 0) throw std::runtime_error("no cursor");
    return at;
  }
  int StartTimer(int intervalMs, std::function<void()> fn) override {
    interval = intervalMs;
    tick = std::move(fn);
    return 7;
  }
};

TEST(CursorTimer, NewPositionsFillTheSharedBufferUpToItsSize) {
  testsupport::TestMachine m;
  CursorUi ui;
  TSetupForm wizard(ui, *m, "D:\\");
  ui.window = &wizard.Form();
  wizard.StartCursorSampler();
  ASSERT_TRUE(ui.tick);
  EXPECT_EQ(ui.interval, 200);
  // (0, 0) is where the cursor was last seen at the start: no sample.
  ui.positions = {{0, 0}, {0x1A, 0x2B}, {0x1A, 0x2B}, {-1, -1}, {0x35, 0x47}};
  for (int i = 0; i < 5; ++i) ui.tick();
  EXPECT_EQ(wizard.Context().mouseSamples, (std::vector<std::uint8_t>{0xAB, 0x57}));
  EXPECT_EQ(ui.enabledDuringTick, std::vector<bool>(5, false));
  // A failed tick still gives the window back.
  EXPECT_TRUE(wizard.Form().enabled);

  // Samples of the random-data page count towards the same hundred.
  wizard.Context().mouseSamples.assign(100, 1);
  ui.positions = {{3, 3}};
  ui.tick();
  EXPECT_EQ(wizard.Context().mouseSamples.size(), 100u);
}

}  // namespace
}  // namespace nimbra::setup
