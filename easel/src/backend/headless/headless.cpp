// The headless backend: a window that exists only in memory.
#include "backend/headless/headless.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace easel {
namespace {

struct Entry {
  Message message;
  uint64_t ticket = 0;  // 0 for ordinary messages; a Sync() marker otherwise
};

struct HeadlessState {
  std::mutex mutex;
  std::condition_variable arrived;  // a message was queued
  std::condition_variable handled;  // a Sync() marker was reached
  std::deque<Entry> queue;
  uint64_t nextTicket = 1, doneTicket = 0;
  DesktopInfo desktop{1920, 1080, 32};
  bool failNext = false;
  headless::WindowInfo window;
  std::vector<uint32_t> screen;  // the window's pixels as last repainted
  std::vector<uint32_t> frame;   // the buffer handed out by LockFrame
  std::atomic<uint64_t> repaints{0};
};

HeadlessState& State() {
  static HeadlessState state;
  return state;
}

bool Available() {
  return true;
}

bool QueryDesktop(DesktopInfo* out) {
  std::lock_guard lock(State().mutex);
  *out = State().desktop;
  return true;
}

bool CreateWindow(const WindowDesc& desc, int* clientWidth, int* clientHeight) {
  HeadlessState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.failNext) {
    s.failNext = false;
    return false;
  }
  headless::WindowInfo w;
  w.exists = true;
  w.title = desc.title;
  w.framed = desc.framed;
  w.systemPlaced = desc.systemPlaced;
  w.x = desc.systemPlaced ? 0 : desc.x;
  w.y = desc.systemPlaced ? 0 : desc.y;
  w.width = desc.systemPlaced ? 640 : desc.width;
  w.height = desc.systemPlaced ? 480 : desc.height;
  s.window = w;
  s.screen.assign(static_cast<size_t>(w.width) * static_cast<size_t>(w.height), 0);
  s.frame = s.screen;
  s.queue.clear();
  *clientWidth = w.width;
  *clientHeight = w.height;
  return true;
}

void DestroyWindow() {
  HeadlessState& s = State();
  std::lock_guard lock(s.mutex);
  s.window.exists = false;
  // Markers left in the queue belong to a window that is gone: release their waiters.
  s.doneTicket = s.nextTicket - 1;
  s.queue.clear();
  s.handled.notify_all();
}

void WaitMessage(Message* out) {
  HeadlessState& s = State();
  std::unique_lock lock(s.mutex);
  for (;;) {
    s.arrived.wait(lock, [&] { return !s.queue.empty(); });
    Entry e = s.queue.front();
    s.queue.pop_front();
    if (e.ticket == 0) {
      *out = e.message;
      return;
    }
    // Everything queued before this marker has been handled: the core asks for the next
    // message only after finishing the previous one.
    s.doneTicket = e.ticket;
    s.handled.notify_all();
  }
}

void Push(const Entry& e) {
  HeadlessState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.window.exists) return;
  s.queue.push_back(e);
  s.arrived.notify_one();
}

void Wake() {
  Push(Entry{Message{}, 0});
}

bool LockFrame(Frame* out) {
  HeadlessState& s = State();
  std::lock_guard lock(s.mutex);
  out->pixels = s.frame.data();
  out->pitch = s.window.width;
  out->width = s.window.width;
  out->height = s.window.height;
  return true;
}

void UnlockFrame() {
  HeadlessState& s = State();
  std::lock_guard lock(s.mutex);
  s.screen.swap(s.frame);  // the core rewrites the whole frame at every repaint
  s.repaints.fetch_add(1, std::memory_order_relaxed);
}

const char* DriverName() {
  return "memory";
}

}  // namespace

// No OpenGL: programs that ask for it get -9 from EaselGLSelect and keep drawing flat.
const Backend kHeadlessBackend = {
    "headless", Available,   QueryDesktop, CreateWindow, DestroyWindow, WaitMessage, Wake,
    LockFrame,  UnlockFrame, DriverName,   nullptr,      nullptr,       nullptr,     nullptr,
};

namespace headless {

void SetDesktop(int width, int height, int bitsPerPixel) {
  std::lock_guard lock(State().mutex);
  State().desktop = DesktopInfo{width, height, bitsPerPixel};
}

void FailNextWindow() {
  std::lock_guard lock(State().mutex);
  State().failNext = true;
}

void Inject(const Message& message) {
  Push(Entry{message, 0});
}

void Sync() {
  HeadlessState& s = State();
  std::unique_lock lock(s.mutex);
  if (!s.window.exists) return;
  const uint64_t ticket = s.nextTicket++;
  s.queue.push_back(Entry{Message{}, ticket});
  s.arrived.notify_one();
  s.handled.wait(lock, [&] { return s.doneTicket >= ticket; });
}

WindowInfo Window() {
  std::lock_guard lock(State().mutex);
  return State().window;
}

uint32_t ScreenPixel(int x, int y) {
  HeadlessState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.window.exists || x < 0 || y < 0 || x >= s.window.width || y >= s.window.height) return 0;
  return s.screen[static_cast<size_t>(y) * static_cast<size_t>(s.window.width) +
                  static_cast<size_t>(x)];
}

uint64_t RepaintCount() {
  return State().repaints.load(std::memory_order_relaxed);
}

}  // namespace headless
}  // namespace easel
