// The engine's entropy and capture dialog driven through the user interface.

#include "keys/ui_entropy.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/errors.h"
#include "engine/keys/vrx_crypto.h"
#include "keys/nimbra_crypto.h"
#include "keys/tests/fake_ui.h"
#include "platform/processes/library.h"
#include "testsupport/test_machine.h"

namespace nimbra::keys {
namespace {

// A Ui whose timers and cursor the test drives.
class TimerUi : public test::FakeUi {
 public:
  std::map<int, std::pair<int, std::function<void()>>> timers;
  ui::Point cursor;
  int started = 0;

  int StartTimer(int ms, std::function<void()> tick) override {
    timers[++started] = {ms, std::move(tick)};
    return started;
  }
  void StopTimer(int id) override { timers.erase(id); }
  ui::Point CursorPos() override { return cursor; }
  void TickAll() {
    auto copy = timers;  // a tick restarts its own timer
    for (auto& [id, timer] : copy) timer.second();
  }
};

TEST(UiEntropy, PoolIsSampledEveryHundredMillisecondsThroughTheUi) {
  TimerUi ui;
  {
    ComponentRandom random(ui);
    ASSERT_EQ(ui.timers.size(), 1u);
    EXPECT_EQ(ui.timers.begin()->second.first, 100);
    engine::TGatherEntropy& pool = random.Gatherer();
    ui.cursor = {0x12, 0x34};
    ui.TickAll();
    ui.TickAll();  // unmoved: no second sample
    EXPECT_EQ(pool.WritePosition(), 101);
    EXPECT_EQ(pool.Pool()[100], 0x24);
    ASSERT_EQ(ui.timers.size(), 1u);  // restarted, not doubled
  }
  EXPECT_TRUE(ui.timers.empty());  // stopped with the component
}

TEST(UiEntropy, ComponentRandomBytesDifferBetweenComponents) {
  TimerUi ui;
  testsupport::TestMachine machine;
  platform::LibraryLoader loader(*machine, "C:\\NP\\");
  TNimbraMGR one(*machine, ui, loader, "C:\\NP\\");
  TNimbraMGR two(*machine, ui, loader, "C:\\NP\\");
  const auto a = one.RandomBytes();
  const auto b = one.RandomBytes();
  ASSERT_EQ(a.size(), 100u);
  EXPECT_NE(a, b);  // one generator, drawn on
  EXPECT_NE(a, two.RandomBytes());
}

TEST(UiEntropy, RandomSourceHooksAControlOfTheFormModel) {
  ui::Control scribble("MouseScribble", ui::ControlKind::Image, "TabSheet10");
  int earlier = 0;
  scribble.onMouseMove = [&](int, int, int) { ++earlier; };
  UiMouseTarget<ui::Control> target(scribble);
  engine::TMouseRandomSource source(64);
  source.AttachTo(&target);
  source.SetEnabled(true);
  scribble.onMouseMove(0, 0x37, 0x5C);
  EXPECT_EQ(source.Count(), 8);
  EXPECT_EQ(earlier, 1);  // the control's own handler still runs
  source.AttachTo(nullptr);
  scribble.onMouseMove(0, 1, 1);
  EXPECT_EQ(source.Count(), 8);
  EXPECT_EQ(earlier, 2);
}

// Plays the person: moves over the dialog until it closes, or presses Cancel.
ui::ModalResult Scribble(ui::Form& dialog, int cancelAfter, int& moves) {
  EXPECT_EQ(dialog.caption, "Now recording random mouse movements...");
  EXPECT_EQ(dialog.At("Label1").text,
            "Please use the mouse to scribble randomly on this form for a few seconds...");
  EXPECT_EQ(dialog.At("Cancel").text, "&Cancel");
  EXPECT_EQ(dialog.width, 435);
  EXPECT_EQ(dialog.height, 300);
  for (moves = 0; dialog.modalResult == ui::ModalResult::None && moves < 100000; ++moves) {
    if (moves == cancelAfter) {
      dialog.Click("Cancel");
      break;
    }
    dialog.onMouseMove(0, moves * 5, moves * 3);
    EXPECT_EQ(dialog.At("ProgressBar1").position, std::min(moves + 1, 152));
  }
  return dialog.modalResult;
}

TEST(UiEntropy, CaptureDialogGathersTheMissingBitsThroughTheUi) {
  test::FakeUi ui;
  engine::TVRXCrypto crypto;
  crypto.SetGeneratorSizes(28);
  UiCryptoBinding binding(crypto, ui);
  int moves = 0;
  int maximum = 0;
  ui.onModal = [&](ui::Form& dialog) {
    maximum = dialog.At("ProgressBar1").maximum;
    return Scribble(dialog, -1, moves);
  };
  crypto.MakeRandomKey(607);
  EXPECT_EQ(ui.modalCount, 1);
  EXPECT_EQ(maximum, 152);  // 1214 bits at 8 a move
  EXPECT_EQ(moves, 152);
}

TEST(UiEntropy, CancelledCaptureLeavesTheKeyUnmade) {
  test::FakeUi ui;
  engine::TVRXCrypto crypto;
  crypto.SetGeneratorSizes(28);
  UiCryptoBinding binding(crypto, ui);
  int moves = 0;
  ui.onModal = [&](ui::Form& dialog) { return Scribble(dialog, 10, moves); };
  EXPECT_THROW(crypto.MakeRandomKey(607), engine::EVRXCryptoNoRandomBits);
  EXPECT_EQ(moves, 10);
}

}  // namespace
}  // namespace nimbra::keys
