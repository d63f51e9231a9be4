// Key translation, the key queue and the mouse module.
#include <vector>

#include "keyboard.h"
#include "mouse.h"
#include "test_support.h"

namespace easel {
namespace {

constexpr int kShift = kModShift, kCtrl = kModCtrl, kAlt = kModAlt;

std::vector<int> Codes(int vk, int mods) {
  const keyboard::Codes c = keyboard::Translate(vk, mods);
  return std::vector<int>(c.code, c.code + c.count);
}

TEST(KeyTable, TranslatesKeysWithTheirModifiers) {
  const struct {
    const char* name;
    int vk, mods;
    std::vector<int> codes;
  } cases[] = {
      {"up", EaselVkUp, 0, {0, 72}},
      {"shift up", EaselVkUp, kShift, {0, 72}},
      {"ctrl up", EaselVkUp, kCtrl, {0, 141}},
      {"alt up", EaselVkUp, kAlt, {0, 152}},
      {"ctrl+alt up: ctrl wins", EaselVkUp, kCtrl | kAlt, {0, 141}},
      {"down", EaselVkDown, 0, {0, 80}},
      {"left", EaselVkLeft, 0, {0, 75}},
      {"right", EaselVkRight, 0, {0, 77}},
      {"clear", EaselVkClear, kShift, {0, 76}},
      {"ctrl clear", EaselVkClear, kCtrl, {0, 143}},
      {"delete alt", EaselVkDelete, kAlt, {0, 163}},
      {"F1", EaselVkF1, 0, {0, 59}},
      {"shift F1", EaselVkF1, kShift, {0, 84}},
      {"ctrl F10", EaselVkF10, kCtrl, {0, 103}},
      {"alt F4", EaselVkF1 + 3, kAlt, {0, 107}},
      {"shift+ctrl+alt F5: shift wins", EaselVkF1 + 4, kShift | kCtrl | kAlt, {0, 88}},
      {"ctrl+alt F5: ctrl wins", EaselVkF1 + 4, kCtrl | kAlt, {0, 98}},
      {"F11", EaselVkF11, 0, {0, 133}},
      {"alt F12", EaselVkF12, kAlt, {0, 140}},
      {"pause", EaselVkPause, 0, {0, 12}},
      {"ctrl pause", EaselVkPause, kCtrl, {}},
      {"ctrl+alt pause", EaselVkPause, kCtrl | kAlt, {0, 169}},
      {"digit", '5', 0, {}},
      {"ctrl 5", '5', kCtrl, {0, 5}},
      {"alt 5", '5', kAlt, {0, 124}},
      {"ctrl+alt 5: both", '5', kCtrl | kAlt, {0, 5, 0, 124}},
      {"ctrl 0", '0', kCtrl, {0, 10}},
      {"alt 0", '0', kAlt, {0, 129}},
      {"alt x", 'X', kAlt, {0, 45}},
      {"ctrl+alt a", 'A', kCtrl | kAlt, {0, 30}},
      {"letter alone", 'A', 0, {}},
      {"alt enter", EaselVkReturn, kAlt, {0, 166}},
      {"alt space", EaselVkSpace, kAlt, {0, 11}},
      {"alt backspace", EaselVkBack, kAlt, {0, 14}},
      {"ctrl tab", EaselVkTab, kCtrl, {30}},
      {"alt tab", EaselVkTab, kAlt, {}},
      {"apps with anything", EaselVkApps, kShift | kCtrl | kAlt, {0, 151}},
      {"keypad *", EaselVkMultiply, 0, {}},
      {"ctrl keypad /", EaselVkDivide, kCtrl, {0, 148}},
      {"alt keypad -", EaselVkSubtract, kAlt, {0, 74}},
      {"escape is a character", EaselVkEscape, 0, {}},
      {"not in the table", 0x2C, 0, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Codes(c.vk, c.mods), c.codes) << c.name;
}

class Keys : public test::Window {
 protected:
  static void Send(MsgKind kind, int vk, int code, int mods) {
    Message m;
    m.kind = kind;
    m.vk = vk;
    m.code = code;
    m.mods = mods;
    headless::Inject(m);
  }
  static std::vector<int> Drain() {
    headless::Sync();
    std::vector<int> out;
    while (EaselKeyHit()) out.push_back(EaselReadKey());
    return out;
  }
};

TEST_F(Keys, CharactersAndSpecialKeysReachTheQueue) {
  Send(MsgKind::kChar, 0, 'a', 0);
  Send(MsgKind::kChar, 0, 'A', kShift);
  Send(MsgKind::kKeyDown, EaselVkShift, 0, kShift);  // Shift itself puts nothing
  Send(MsgKind::kKeyDown, EaselVkUp, 0, 0);
  Send(MsgKind::kChar, 0, 27, 0);
  Send(MsgKind::kChar, 0, 13, 0);
  Send(MsgKind::kKeyDown, 'X', 0, kAlt);
  Send(MsgKind::kChar, 0, 'x', kAlt);   // a system character: dropped
  Send(MsgKind::kChar, 0, 1, kCtrl);    // Ctrl+A
  Send(MsgKind::kChar, 0, 'a', kCtrl);  // a printable character with Ctrl: dropped
  Send(MsgKind::kChar, 0, 0xE9, 0);     // e acute, Windows-1252
  EXPECT_EQ(Drain(), (std::vector<int>{'a', 'A', 0, 72, 27, 13, 0, 45, 1, 0xE9}));
}

TEST_F(Keys, AFullQueueKeepsTheLastCodesAndDropsWholeSpecialKeys) {
  for (int i = 0; i < 40; ++i) Send(MsgKind::kChar, 0, 'a' + i % 26, 0);
  std::vector<int> expected;
  for (int i = 9; i < 40; ++i) expected.push_back('a' + i % 26);
  EXPECT_EQ(Drain(), expected);

  // 30 characters then a special key: the queue holds 31 codes; the next special key pushes
  // out the oldest character, and one more code pushes out the whole (0, 72) pair.
  Send(MsgKind::kKeyDown, EaselVkUp, 0, 0);
  for (int i = 0; i < 29; ++i) Send(MsgKind::kChar, 0, 'b', 0);
  Send(MsgKind::kChar, 0, 'c', 0);  // 0, 72, 29 b, c: 32 codes, the 0 is dropped with its 72
  const std::vector<int> got = Drain();
  ASSERT_EQ(got.size(), 30u);
  EXPECT_EQ(got.front(), 'b');
  EXPECT_EQ(got.back(), 'c');
}

TEST_F(Keys, HeldKeysShowInTheAsynchronousState) {
  EXPECT_EQ(EaselAsyncKeyState(EaselVkEscape), 0);
  Send(MsgKind::kKeyDown, EaselVkEscape, 0, 0);
  Send(MsgKind::kKeyDown, 'A', 0, 0);
  headless::Sync();
  EXPECT_TRUE(EaselAsyncKeyState(EaselVkEscape) & 0x8000);
  EXPECT_TRUE(EaselAsyncKeyState('A') & 0x8000);
  Send(MsgKind::kKeyUp, EaselVkEscape, 0, 0);
  headless::Sync();
  EXPECT_EQ(EaselAsyncKeyState(EaselVkEscape), 0);
  EXPECT_TRUE(EaselAsyncKeyState('A') & 0x8000);
  EXPECT_EQ(EaselAsyncKeyState(-5), 0);
  EXPECT_EQ(EaselAsyncKeyState(100000), 0);
  EaselClose();
  EXPECT_EQ(EaselAsyncKeyState('A'), 0);  // nothing is held without a window
}

class Mouse : public test::Window {
 protected:
  static void Send(MsgKind kind, int x, int y, int buttons, int mods, int wheel = 0) {
    Message m;
    m.kind = kind;
    m.x = x;
    m.y = y;
    m.buttons = buttons;
    m.mods = mods;
    m.wheel = wheel;
    headless::Inject(m);
    headless::Sync();
  }
};

TEST_F(Mouse, ButtonBitsPositionsAndTheLastEvent) {
  EXPECT_EQ(EaselMouseButtons(), 0);
  EXPECT_EQ(EaselMouseX(), 0);
  EXPECT_EQ(EaselMouseY(), 0);
  const struct {
    MsgKind kind;
    int x, y, buttons, mods;
    uint16_t expected;
  } cases[] = {
      {MsgKind::kMouseMove, 10, 20, 0, kShift, 8},
      {MsgKind::kMouseDown, 11, 21, kMouseLeft, kCtrl, 17},
      {MsgKind::kMouseDown, 12, 22, kMouseLeft | kMouseRight, 0, 3},
      {MsgKind::kMouseUp, 13, 23, kMouseRight, 0, 2},
      {MsgKind::kMouseDown, 14, 24, kMouseMiddle, kShift | kCtrl | kAlt, 4 + 8 + 16},
      {MsgKind::kMouseMove, 799, 599, 0, 0, 0},
  };
  for (const auto& c : cases) {
    Send(c.kind, c.x, c.y, c.buttons, c.mods);
    EXPECT_EQ(EaselMouseButtons(), c.expected);
    EXPECT_EQ(EaselMouseX(), c.x);
    EXPECT_EQ(EaselMouseY(), c.y);
  }
}

TEST_F(Mouse, EventsOutsideTheWindowAreNotSeen) {
  Send(MsgKind::kMouseDown, 100, 100, kMouseLeft, 0);
  Send(MsgKind::kMouseMove, 900, 100, kMouseLeft, 0);
  Send(MsgKind::kMouseUp, -5, 100, 0, 0);
  Send(MsgKind::kMouseUp, 100, 600, 0, 0);
  EXPECT_EQ(EaselMouseButtons(), 1);  // released outside: still down until it comes back
  EXPECT_EQ(EaselMouseX(), 100);
  Send(MsgKind::kMouseMove, 50, 60, 0, 0);
  EXPECT_EQ(EaselMouseButtons(), 0);
  // The wheel reports screen coordinates and is seen anywhere.
  Send(MsgKind::kMouseWheel, 1500, 900, 0, 0, -240);
  EXPECT_EQ(EaselMouseX(), 1500);
  mouse::Event events[16];
  const int n = mouse::Recent(events, 16);
  ASSERT_GE(n, 1);
  EXPECT_EQ(events[n - 1].kind, mouse::kWheel);
  EXPECT_EQ(events[n - 1].wheel, -240);
}

TEST_F(Mouse, TheQueueKeepsTheFifteenLatestEvents) {
  for (int i = 0; i < 40; ++i) Send(MsgKind::kMouseMove, i, i, 0, 0);
  mouse::Event events[16];
  ASSERT_EQ(mouse::Recent(events, 16), 15);
  EXPECT_EQ(events[0].x, 25);
  EXPECT_EQ(events[14].x, 39);
}

}  // namespace
}  // namespace easel
