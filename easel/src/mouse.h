// The mouse module: the queue of recent mouse events and the latest one's fields.
#ifndef EASEL_MOUSE_H
#define EASEL_MOUSE_H

#include <cstdint>

#include "backend/backend.h"

namespace easel::mouse {

enum Kind : uint16_t { kPressed = 1, kReleased = 2, kMoved = 3, kWheel = 4 };

struct Event {
  uint16_t kind = 0;
  uint16_t buttons = 0;  // 1 left, 2 right, 4 middle, 8 Shift, 16 Ctrl
  uint16_t x = 0, y = 0;
  int16_t wheel = 0;
};

// Window created with the given client size: empty queue, last event fields kept.
void Reset(int clientWidth, int clientHeight);
// A backend mouse message. The window does not capture the pointer, so moves and button
// events outside the client area are not seen (a release outside leaves the button down).
void OnMessage(const Message& m);

uint16_t Buttons();
uint16_t X();
uint16_t Y();
// The events still queued, oldest first (at most 15); for tests and tools.
int Recent(Event* out, int capacity);

}  // namespace easel::mouse

#endif  // EASEL_MOUSE_H
