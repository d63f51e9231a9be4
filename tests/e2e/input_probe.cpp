// Prints, one line each, what the library reads from a real window: key codes, changes of the
// mouse state and of held keys. Ends on the close request (0, 107) or on F12.
#include <cstdio>

#include "easel/easel.h"

int main() {
  int16_t driver = 3, mode = 4;
  EaselOpen(driver, mode, "INPUT PROBE");
  if (EaselResult() != 0) return 1;
  std::printf("ready %s\n", EaselBackendName());
  std::fflush(stdout);
  const int watched[] = {EaselVkEscape, EaselVkLeft, EaselVkUp, 'A', 'Z', EaselVkShift};
  bool held[sizeof watched / sizeof *watched] = {};
  unsigned buttons = 0, x = 0, y = 0;
  bool special = false;
  for (bool running = true; running;) {
    while (EaselKeyHit()) {
      const int code = EaselReadKey();
      std::printf("key %d\n", code);
      if (special && (code == 107 || code == 134)) running = false;
      special = code == 0 && !special;
    }
    if (EaselMouseButtons() != buttons || EaselMouseX() != x || EaselMouseY() != y) {
      buttons = EaselMouseButtons();
      x = EaselMouseX();
      y = EaselMouseY();
      std::printf("mouse %u %u %u\n", buttons, x, y);
    }
    for (size_t i = 0; i < sizeof watched / sizeof *watched; ++i) {
      const bool now = EaselAsyncKeyState(watched[i]) & 0x8000;
      if (now != held[i]) std::printf("held %d %d\n", watched[i], now ? 1 : 0);
      held[i] = now;
    }
    std::fflush(stdout);
    EaselSleep(5);
  }
  EaselClose();
  return 0;
}
