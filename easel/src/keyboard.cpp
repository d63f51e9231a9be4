#include "keyboard.h"

#include <atomic>
#include <mutex>

#include "backend/backend.h"
#include "capture.h"
#include "easel/easel.h"

namespace easel::keyboard {
namespace {

// How a key combines its modifiers when several are held.
enum class Rule : uint8_t {
  kCtrlOverAlt,  // cursor block, Clear, keypad operators: Ctrl wins over Alt, Shift ignored
  kFunction,     // F1..F12: Shift wins over Ctrl, Ctrl over Alt
  kPause,        // Alt wins over everything; Ctrl without Alt puts nothing
  kDigit,        // Ctrl and Alt together put both codes
  kAltOnly,      // only Alt matters
  kCtrlOnly,     // only Ctrl matters
  kNoModifiers,  // the same code whatever is held
};

// A cell of the table: kNone puts nothing, kSpecial | n puts 0 then n, any other value puts
// that single code.
constexpr int kNone = -1;
constexpr int kSpecial = 0x100;
constexpr int S(int n) {
  return kSpecial | n;
}

struct Row {
  int vk;
  int plain, shift, ctrl, alt;
  Rule rule;
};

constexpr Row kTable[] = {
    {EaselVkBack, kNone, kNone, kNone, S(14), Rule::kAltOnly},
    {EaselVkTab, kNone, kNone, 30, kNone, Rule::kCtrlOnly},
    {EaselVkClear, S(76), S(76), S(143), S(76), Rule::kCtrlOverAlt},
    {EaselVkReturn, kNone, kNone, kNone, S(166), Rule::kAltOnly},
    {EaselVkPause, S(12), S(12), kNone, S(169), Rule::kPause},
    {EaselVkSpace, kNone, kNone, kNone, S(11), Rule::kAltOnly},
    {EaselVkPrior, S(73), S(73), S(132), S(153), Rule::kCtrlOverAlt},
    {EaselVkNext, S(81), S(81), S(118), S(161), Rule::kCtrlOverAlt},
    {EaselVkEnd, S(79), S(79), S(117), S(165), Rule::kCtrlOverAlt},
    {EaselVkHome, S(71), S(71), S(119), S(164), Rule::kCtrlOverAlt},
    {EaselVkLeft, S(75), S(75), S(115), S(155), Rule::kCtrlOverAlt},
    {EaselVkUp, S(72), S(72), S(141), S(152), Rule::kCtrlOverAlt},
    {EaselVkRight, S(77), S(77), S(116), S(157), Rule::kCtrlOverAlt},
    {EaselVkDown, S(80), S(80), S(145), S(160), Rule::kCtrlOverAlt},
    {EaselVkInsert, S(82), S(82), S(146), S(162), Rule::kCtrlOverAlt},
    {EaselVkDelete, S(83), S(83), S(147), S(163), Rule::kCtrlOverAlt},
    {'0', kNone, kNone, S(10), S(129), Rule::kDigit},
    {'1', kNone, kNone, S(1), S(120), Rule::kDigit},
    {'2', kNone, kNone, S(2), S(121), Rule::kDigit},
    {'3', kNone, kNone, S(3), S(122), Rule::kDigit},
    {'4', kNone, kNone, S(4), S(123), Rule::kDigit},
    {'5', kNone, kNone, S(5), S(124), Rule::kDigit},
    {'6', kNone, kNone, S(6), S(125), Rule::kDigit},
    {'7', kNone, kNone, S(7), S(126), Rule::kDigit},
    {'8', kNone, kNone, S(8), S(127), Rule::kDigit},
    {'9', kNone, kNone, S(9), S(128), Rule::kDigit},
    // Letters with Alt put their keyboard scan code.
    {'A', kNone, kNone, kNone, S(30), Rule::kAltOnly},
    {'B', kNone, kNone, kNone, S(48), Rule::kAltOnly},
    {'C', kNone, kNone, kNone, S(46), Rule::kAltOnly},
    {'D', kNone, kNone, kNone, S(32), Rule::kAltOnly},
    {'E', kNone, kNone, kNone, S(18), Rule::kAltOnly},
    {'F', kNone, kNone, kNone, S(33), Rule::kAltOnly},
    {'G', kNone, kNone, kNone, S(34), Rule::kAltOnly},
    {'H', kNone, kNone, kNone, S(35), Rule::kAltOnly},
    {'I', kNone, kNone, kNone, S(23), Rule::kAltOnly},
    {'J', kNone, kNone, kNone, S(36), Rule::kAltOnly},
    {'K', kNone, kNone, kNone, S(37), Rule::kAltOnly},
    {'L', kNone, kNone, kNone, S(38), Rule::kAltOnly},
    {'M', kNone, kNone, kNone, S(50), Rule::kAltOnly},
    {'N', kNone, kNone, kNone, S(49), Rule::kAltOnly},
    {'O', kNone, kNone, kNone, S(24), Rule::kAltOnly},
    {'P', kNone, kNone, kNone, S(25), Rule::kAltOnly},
    {'Q', kNone, kNone, kNone, S(16), Rule::kAltOnly},
    {'R', kNone, kNone, kNone, S(19), Rule::kAltOnly},
    {'S', kNone, kNone, kNone, S(31), Rule::kAltOnly},
    {'T', kNone, kNone, kNone, S(20), Rule::kAltOnly},
    {'U', kNone, kNone, kNone, S(22), Rule::kAltOnly},
    {'V', kNone, kNone, kNone, S(47), Rule::kAltOnly},
    {'W', kNone, kNone, kNone, S(17), Rule::kAltOnly},
    {'X', kNone, kNone, kNone, S(45), Rule::kAltOnly},
    {'Y', kNone, kNone, kNone, S(21), Rule::kAltOnly},
    {'Z', kNone, kNone, kNone, S(44), Rule::kAltOnly},
    {EaselVkApps, S(151), S(151), S(151), S(151), Rule::kNoModifiers},
    {EaselVkMultiply, kNone, kNone, S(149), S(70), Rule::kCtrlOverAlt},
    {EaselVkAdd, kNone, kNone, S(144), S(78), Rule::kCtrlOverAlt},
    {EaselVkSubtract, kNone, kNone, S(142), S(74), Rule::kCtrlOverAlt},
    {EaselVkDecimal, kNone, kNone, S(150), S(114), Rule::kCtrlOverAlt},
    {EaselVkDivide, kNone, kNone, S(148), S(69), Rule::kCtrlOverAlt},
    {EaselVkF1 + 0, S(59), S(84), S(94), S(104), Rule::kFunction},
    {EaselVkF1 + 1, S(60), S(85), S(95), S(105), Rule::kFunction},
    {EaselVkF1 + 2, S(61), S(86), S(96), S(106), Rule::kFunction},
    {EaselVkF1 + 3, S(62), S(87), S(97), S(107), Rule::kFunction},
    {EaselVkF1 + 4, S(63), S(88), S(98), S(108), Rule::kFunction},
    {EaselVkF1 + 5, S(64), S(89), S(99), S(109), Rule::kFunction},
    {EaselVkF1 + 6, S(65), S(90), S(100), S(110), Rule::kFunction},
    {EaselVkF1 + 7, S(66), S(91), S(101), S(111), Rule::kFunction},
    {EaselVkF1 + 8, S(67), S(92), S(102), S(112), Rule::kFunction},
    {EaselVkF1 + 9, S(68), S(93), S(103), S(113), Rule::kFunction},
    {EaselVkF11, S(133), S(135), S(137), S(139), Rule::kFunction},
    {EaselVkF12, S(134), S(136), S(138), S(140), Rule::kFunction},
};

void Append(Codes* out, int cell) {
  if (cell == kNone) return;
  if (cell & kSpecial) out->code[out->count++] = 0;
  out->code[out->count++] = static_cast<uint8_t>(cell & 0xFF);
}

// The queue: slots 1..32 of a 33-byte array (slot 0 unused), at most 31 codes.
constexpr int kSlots = 32;
struct Queue {
  std::mutex lock;
  uint8_t codes[kSlots + 1] = {};
  std::atomic<int> head{0}, tail{0};  // both 0 before the first window: nothing queued
};
Queue queue;

std::atomic<bool> held[256];

int Advance(int index) {
  return index == kSlots ? 1 : index + 1;
}

void Put(uint8_t code) {
  std::lock_guard guard(queue.lock);
  int tail = queue.tail.load(std::memory_order_relaxed);
  int head = queue.head.load(std::memory_order_relaxed);
  queue.codes[tail] = code;
  tail = Advance(tail);
  if (head == tail) {
    // Full: drop the oldest code; when it is the 0 of a special key, its second code too.
    if (queue.codes[head] == 0) head = Advance(head);
    head = Advance(head);
    queue.head.store(head, std::memory_order_relaxed);
  }
  queue.tail.store(tail, std::memory_order_relaxed);
}

}  // namespace

Codes Translate(int vk, int mods) {
  Codes out;
  const Row* row = nullptr;
  for (const Row& r : kTable) {
    if (r.vk == vk) {
      row = &r;
      break;
    }
  }
  if (!row) return out;
  const bool shift = mods & kModShift, ctrl = mods & kModCtrl, alt = mods & kModAlt;
  switch (row->rule) {
    case Rule::kCtrlOverAlt:
      Append(&out, ctrl ? row->ctrl : alt ? row->alt : row->plain);
      break;
    case Rule::kFunction:
      Append(&out, shift ? row->shift : ctrl ? row->ctrl : alt ? row->alt : row->plain);
      break;
    case Rule::kPause:
      Append(&out, alt ? row->alt : ctrl ? row->ctrl : row->plain);
      break;
    case Rule::kDigit:
      if (ctrl) Append(&out, row->ctrl);
      if (alt) Append(&out, row->alt);
      if (!ctrl && !alt) Append(&out, row->plain);
      break;
    case Rule::kAltOnly:
      Append(&out, alt ? row->alt : row->plain);
      break;
    case Rule::kCtrlOnly:
      Append(&out, ctrl ? row->ctrl : row->plain);
      break;
    case Rule::kNoModifiers:
      Append(&out, row->plain);
      break;
  }
  return out;
}

void Reset() {
  std::lock_guard guard(queue.lock);
  queue.head.store(1, std::memory_order_relaxed);
  queue.tail.store(1, std::memory_order_relaxed);
  ReleaseAll();
}

void OnKeyDown(int vk, int mods) {
  if (vk == EaselVkSnapshot && !held[vk].load(std::memory_order_relaxed)) capture::PrintScreen();
  if (vk >= 0 && vk < 256) held[vk].store(true, std::memory_order_relaxed);
  // Shift, Ctrl and Alt on their own put nothing.
  if (vk == EaselVkShift || vk == EaselVkControl || vk == EaselVkMenu) return;
  const Codes codes = Translate(vk, mods);
  for (int i = 0; i < codes.count; ++i) Put(codes.code[i]);
}

void OnKeyUp(int vk) {
  if (vk >= 0 && vk < 256) held[vk].store(false, std::memory_order_relaxed);
}

void OnChar(int code, int mods) {
  // Characters typed with Alt are system characters: the key itself already put its special
  // code. Printable characters typed with Ctrl arrive as control codes instead (Ctrl+A is 1).
  // (AltGr is not Alt here: window systems report it as a shift level of its own.)
  if (mods & kModAlt) return;
  if ((mods & kModCtrl) && code >= 32) return;
  Put(static_cast<uint8_t>(code));
}

void OnCloseRequest() {
  Put(0);
  Put(107);
}

void ReleaseAll() {
  for (auto& h : held) h.store(false, std::memory_order_relaxed);
}

bool Hit() {
  return queue.head.load(std::memory_order_relaxed) != queue.tail.load(std::memory_order_relaxed);
}

bool Take(uint8_t* code) {
  std::lock_guard guard(queue.lock);
  const int head = queue.head.load(std::memory_order_relaxed);
  if (head == queue.tail.load(std::memory_order_relaxed)) return false;
  *code = queue.codes[head];
  queue.head.store(Advance(head), std::memory_order_relaxed);
  return true;
}

int16_t AsyncState(int vk) {
  if (vk < 0 || vk >= 256) return 0;
  return held[vk].load(std::memory_order_relaxed) ? static_cast<int16_t>(0x8000) : int16_t{0};
}

}  // namespace easel::keyboard
