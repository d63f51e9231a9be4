#include "mouse.h"

#include <atomic>
#include <mutex>

namespace easel::mouse {
namespace {

// Slots 1..16 of a 17-entry array (slot 0 unused), at most 15 events.
constexpr int kSlots = 16;
struct Queue {
  std::mutex lock;
  Event events[kSlots + 1];
  int head = 0, tail = 0;
  int clientWidth = 0, clientHeight = 0;
};
Queue queue;

// The latest event's fields, read by the program thread without the lock.
std::atomic<uint16_t> lastButtons{0}, lastX{0}, lastY{0};
std::atomic<int16_t> lastWheel{0};

int Advance(int index) {
  return index == kSlots ? 1 : index + 1;
}

void Record(const Event& e) {
  std::lock_guard guard(queue.lock);
  queue.events[queue.tail] = e;
  lastButtons.store(e.buttons, std::memory_order_relaxed);
  lastX.store(e.x, std::memory_order_relaxed);
  lastY.store(e.y, std::memory_order_relaxed);
  lastWheel.store(e.wheel, std::memory_order_relaxed);
  queue.tail = Advance(queue.tail);
  if (queue.head == queue.tail) queue.head = Advance(queue.head);
}

}  // namespace

void Reset(int clientWidth, int clientHeight) {
  std::lock_guard guard(queue.lock);
  queue.head = queue.tail = 1;
  queue.clientWidth = clientWidth;
  queue.clientHeight = clientHeight;
}

void OnMessage(const Message& m) {
  Event e;
  switch (m.kind) {
    case MsgKind::kMouseMove:
      e.kind = kMoved;
      break;
    case MsgKind::kMouseDown:
      e.kind = kPressed;
      break;
    case MsgKind::kMouseUp:
      e.kind = kReleased;
      break;
    case MsgKind::kMouseWheel:
      e.kind = kWheel;
      break;
    default:
      return;
  }
  if (e.kind != kWheel) {
    int width, height;
    {
      std::lock_guard guard(queue.lock);
      width = queue.clientWidth;
      height = queue.clientHeight;
    }
    if (m.x < 0 || m.y < 0 || m.x >= width || m.y >= height) return;
  }
  e.buttons = static_cast<uint16_t>((m.buttons & (kMouseLeft | kMouseRight | kMouseMiddle)) |
                                    (m.mods & kModShift ? 8 : 0) | (m.mods & kModCtrl ? 16 : 0));
  // Positions are taken as their low 16 bits, as the window system packs them.
  e.x = static_cast<uint16_t>(m.x);
  e.y = static_cast<uint16_t>(m.y);
  e.wheel = e.kind == kWheel ? static_cast<int16_t>(m.wheel) : int16_t{0};
  Record(e);
}

uint16_t Buttons() {
  return lastButtons.load(std::memory_order_relaxed);
}
uint16_t X() {
  return lastX.load(std::memory_order_relaxed);
}
uint16_t Y() {
  return lastY.load(std::memory_order_relaxed);
}

int Recent(Event* out, int capacity) {
  std::lock_guard guard(queue.lock);
  int n = 0;
  for (int i = queue.head; i != queue.tail && n < capacity; i = Advance(i))
    out[n++] = queue.events[i];
  return n;
}

}  // namespace easel::mouse
