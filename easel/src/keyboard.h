// The keyboard module: the key queue, key translation and the held-key table.
//
// The window thread feeds it (key down/up, characters, close requests); the program thread
// reads it (EaselKeyHit, EaselReadKey, EaselAsyncKeyState). Codes follow the classic text-mode
// keyboard: a character is its 8-bit code; a special key is a 0 followed by a second code.
#ifndef EASEL_KEYBOARD_H
#define EASEL_KEYBOARD_H

#include <cstdint>

namespace easel::keyboard {

// The codes one key press puts in the queue (at most four: Ctrl+Alt+digit gives two pairs).
struct Codes {
  uint8_t code[4] = {};
  int count = 0;
};

// Pure: what a key (virtual-key code) pressed with the given modifier bits (kModShift,
// kModCtrl, kModAlt) puts in the queue. Keys outside the table put nothing.
Codes Translate(int vk, int mods);

// Window created: empty queue (both indices 1), no key held.
void Reset();
// Window thread messages.
void OnKeyDown(int vk, int mods);
void OnKeyUp(int vk);
void OnChar(int code, int mods);
void OnCloseRequest();
// The window lost its keys (destroyed): nothing counts as held any more.
void ReleaseAll();

// Program thread.
bool Hit();
// Takes the oldest code; false when the queue is empty.
bool Take(uint8_t* code);
int16_t AsyncState(int vk);

}  // namespace easel::keyboard

#endif  // EASEL_KEYBOARD_H
