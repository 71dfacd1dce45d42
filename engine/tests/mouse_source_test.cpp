// The mouse-fed random source, its hook on a control and the capture dialog
// the crypto component shows when bits run short.

#include "engine/entropy/mouse_source.h"

#include <gtest/gtest.h>

#include "engine/entropy/mouse_capture.h"
#include "engine/errors.h"
#include "engine/keys/vrx_crypto.h"

namespace nimbra::engine {
namespace {

struct FakeControl : TMouseEventTarget {
  TMouseMoveEvent handler;
  TMouseMoveEvent GetOnMouseMove() const override { return handler; }
  void SetOnMouseMove(TMouseMoveEvent h) override { handler = std::move(h); }
  void Move(int x, int y) {
    if (handler) handler(0, x, y);
  }
};

TEST(MouseRandomSource, SampleAddsTheLowNibblesXFirst) {
  TMouseRandomSource source(64);
  source.AddMouseSample(0, 0x37, 0x5C);
  EXPECT_EQ(source.Count(), 8);
  EXPECT_EQ(source.Extract(4), 7u);
  EXPECT_EQ(source.Extract(4), 12u);
}

TEST(MouseRandomSource, FullSourceDropsTheOldestBits) {
  TMouseRandomSource source(64);
  int full = 0;
  source.OnFull = [&](TCustomBitQueue&) { ++full; };
  for (int i = 0; i < 8; ++i) source.AddMouseSample(0, i, i);
  EXPECT_EQ(source.Count(), 64);
  EXPECT_EQ(full, 1);
  source.AddMouseSample(0, 0xA, 0xB);  // each nibble refills it
  EXPECT_EQ(source.Count(), 64);
  EXPECT_EQ(full, 3);
  // The oldest sample (0, 0) went; the next oldest is (1, 1).
  EXPECT_EQ(source.Peek(8), 0x11u);
}

TEST(MouseRandomSource, TakeNewestRemovesExactlyTheBitsTaken) {
  TMouseRandomSource source(128);
  for (std::uint32_t i = 0; i < 10; ++i) source.Insert(i, 8);  // byte i, LSB first
  TBitArray newest(16);
  source.TakeNewest(16, newest);
  EXPECT_EQ(source.Count(), 64);
  // Array bits 0..7 hold the newest insert (its bit 7 first), then the one
  // before it.
  EXPECT_EQ(newest.Words()[0] >> 16, 0x0908u);
  for (std::uint32_t i = 0; i < 8; ++i) EXPECT_EQ(source.Extract(8), i);
}

TEST(MouseRandomSource, HookChainsToThePreviousHandlerAndDetaches) {
  TMouseRandomSource source(64);
  FakeControl control;
  int previous_calls = 0;
  control.handler = [&](int, int, int) { ++previous_calls; };
  source.AttachTo(&control);
  control.Move(1, 2);
  EXPECT_EQ(source.Count(), 0);  // not enabled
  source.SetEnabled(true);
  control.Move(1, 2);
  EXPECT_EQ(source.Count(), 8);
  EXPECT_EQ(previous_calls, 2);
  source.AttachTo(nullptr);
  control.Move(3, 4);
  EXPECT_EQ(source.Count(), 8);
  EXPECT_EQ(previous_calls, 3);
  EXPECT_EQ(source.AttachedControl(), nullptr);
}

// Plays the person at the capture dialog: moves the mouse until the dialog
// closes, or cancels after a number of moves.
struct ScriptedHost : TMouseCaptureHost {
  int cancel_after = -1;
  int circles = 0;
  int shown = 0;
  int required_seen = 0;
  void ShowModal(TfrmMouseCapture& form) override {
    ++shown;
    required_seen = form.MovesRequired();
    for (int i = 0; form.ModalResult() == mrNone && i < 100000; ++i) {
      if (i == cancel_after) {
        form.CancelClick();
        break;
      }
      form.MouseMove(0, 3 * i + 1, 7 * i + 2);
    }
  }
  void CloseModal(TfrmMouseCapture&) override {}
  void DrawCircle(TfrmMouseCapture&, int, int, int radius) override {
    EXPECT_EQ(radius, 3);
    ++circles;
  }
  void ProgressChanged(TfrmMouseCapture& form) override {
    EXPECT_LE(form.ProgressPosition(), form.ProgressMax());
  }
};

TEST(CaptureMouseEntropy, AsksForTheMissingBitsAndRestoresTheSource) {
  FakeControl page;  // outlives the source attached to it
  TVRXCrypto c;
  ScriptedHost host;
  c.CaptureHost = &host;
  TMouseRandomSource& source = *c.RandomSource();
  source.AttachTo(&page);
  for (int i = 0; i < 25; ++i) source.AddMouseSample(0, i, i);  // 200 bits held
  c.CaptureMouseEntropy(c, 1000);
  EXPECT_EQ(host.required_seen, 125);
  EXPECT_EQ(host.circles, 125);
  EXPECT_EQ(source.Count(), 200 + 1000);
  EXPECT_EQ(source.AttachedControl(), &page);
  EXPECT_FALSE(source.Enabled());
  EXPECT_FALSE(source.OnFull);

  // The component asks for 2L bits less those held (1214 - 1200 for n = 607).
  c.SetGeneratorSizes(28);
  c.MakeRandomKey(607);
  EXPECT_EQ(host.shown, 2);
  EXPECT_EQ(host.required_seen, 2);
}

TEST(CaptureMouseEntropy, CancelLeavesTooFewBits) {
  TVRXCrypto c;
  ScriptedHost host;
  host.cancel_after = 10;
  c.CaptureHost = &host;
  try {
    c.MakeRandomKey(0);
    FAIL() << "no exception";
  } catch (const EVRXCryptoNoRandomBits& e) {
    EXPECT_STREQ(e.what(), "Unable to acquire sufficient random input to create random key.");
  }
  EXPECT_EQ(c.RandomSource()->Count(), 80);
  EXPECT_EQ(c.RandomSource()->AttachedControl(), nullptr);
}

TEST(CaptureMouseEntropy, FullSourceClosesTheDialog) {
  TVRXCrypto c;
  ScriptedHost host;
  c.CaptureHost = &host;
  c.CaptureMouseEntropy(c, 20000);  // more than the 8192-bit source holds
  EXPECT_EQ(c.RandomSource()->Count(), 8192);
  EXPECT_EQ(host.circles, 1023);  // the 1024th move fills it before drawing
}

}  // namespace
}  // namespace nimbra::engine
