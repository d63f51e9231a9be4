// Control of the headless backend, for the project's tests and tools.
//
// The headless backend keeps its "screen" in memory: a desktop of a chosen size, at most one
// window, and the 0x00RRGGBB pixels of the last repaint. Input is injected as backend Messages,
// exactly as a window system would deliver them, and Sync() waits until the window thread has
// handled everything injected before it.
#ifndef EASEL_BACKEND_HEADLESS_HEADLESS_H
#define EASEL_BACKEND_HEADLESS_HEADLESS_H

#include <cstdint>
#include <string>

#include "backend/backend.h"

namespace easel::headless {

// The desktop QueryDesktop reports from now on (default 1920 x 1080 x 32).
void SetDesktop(int width, int height, int bitsPerPixel);
// Makes the next CreateWindow fail once (the library then reports -4).
void FailNextWindow();

// Delivers a message to the window thread, as the window system would.
void Inject(const Message& message);
// Waits until the window thread has handled every message injected or woken before this call
// (returns at once when no window exists).
void Sync();

struct WindowInfo {
  bool exists = false;
  std::string title;
  bool framed = false, systemPlaced = false;
  int x = 0, y = 0, width = 0, height = 0;
};
WindowInfo Window();

// The window's pixel as of the last repaint (0x00RRGGBB); 0 outside the window.
uint32_t ScreenPixel(int x, int y);
// How many repaints have reached the screen since the process started.
uint64_t RepaintCount();

}  // namespace easel::headless

#endif  // EASEL_BACKEND_HEADLESS_HEADLESS_H
