// easel: one graphics window for a small interactive program.
//
// PURPOSE
//   A program opens exactly one fixed-size window, draws into one of four off-screen pages
//   (8-bit palette indices, or 32-bit RGB in true-colour mode), shows any page, and polls a
//   key queue and the last mouse event once per frame. Everything is a plain function; the
//   library keeps one static instance per process.
//
// THREADS
//   The window lives on a thread of its own, started by EaselOpen and ended by EaselClose.
//   Call every function here from one thread, the program's. Drawing happens on that thread
//   into the draw page under the library's graphics lock; the window thread copies the shown
//   page to the screen under the same lock whenever a repaint is requested.
//
// USAGE
//   int16_t driver = 3, mode = 6;                 // 256 colours, 800x600
//   EaselOpen(driver, mode, "MY CAPTION");
//   int16_t page = 0;
//   while (!EaselKeyHit()) {
//     EaselSetDrawPage(page);  page = 1 - page;  EaselSetShowPage(page);  EaselClear();
//     EaselSetColor(EaselColors[250]);
//     EaselCircle(EaselCoord(x), EaselCoord(y), 10);
//     EaselSleep(10);
//   }
//   EaselClose();
//
// RESULT CODES
//   Operations never abort. Each one that can fail sets EaselResult(): 0 success, -1 window not
//   open, -2 bad driver, -3 mode does not fit the screen, -4 window creation failed, -5 font
//   family missing, -6 empty font slot, -7 argument out of range, -9 no OpenGL, -10 already
//   open. Getters and input reads leave the code alone.
//
// BACKENDS
//   EASEL_BACKEND=sdl2 (default when built) shows real windows; EASEL_BACKEND=headless keeps
//   everything in memory (tests, capture). EaselBackendName() says which one runs.
#ifndef EASEL_EASEL_H
#define EASEL_EASEL_H

#include <cstdint>

// ---- Window and pages ---------------------------------------------------------------------

// Opens the window. driver: 0 detect (written back as 9, mode as 10), 1 two colours, 2 sixteen,
// 3 256 colours, 9 true colour. mode: 1 320x200, 2 640x200, 3 640x350, 4 640x480, 5 720x350,
// 6 800x600, 7 1024x768, 8 1280x1024, 10 window system's choice, 11 framed full screen,
// 12 desktop size without a frame. caption: up to 255 Windows-1252 characters.
void EaselOpen(int16_t& driver, int16_t& mode, const char* caption);
void EaselClose();
int16_t EaselMaxX();                  // client width - 1 of the current or last window
int16_t EaselMaxY();                  // client height - 1
void EaselSetDrawPage(int16_t page);  // 0..3; anything else selects 0
void EaselSetShowPage(int16_t page);  // 0..3; anything else selects 0; requests a repaint
void EaselUpdate(int16_t how);        // 0 off, 1 on, 2 now (swap buffers in OpenGL mode)
void EaselSleep(uint16_t ms);
int16_t EaselResult();

// ---- Colours and primitives ---------------------------------------------------------------

// The 256 named colours, each the nearest palette index of its fixed RGB colour (palette
// modes) or that RGB value itself (true colour). All 0 before the first EaselOpen.
// 12 black, 15 blue, 59 dark grey, 105 green, 122 light blue, 127 grey, 142 magenta, 207 red,
// 250 white, 253 yellow.
extern const uint32_t (&EaselColors)[256];

uint32_t EaselRgb(int16_t r, int16_t g, int16_t b);  // green above 255 spills into blue
uint32_t EaselMaxColor();
void EaselSetColor(uint32_t colour);
void EaselSetBkColor(uint32_t colour);
// style: 0 solid, 1 dotted, 2 dash-dot, 3 dashed, 4 dash-dot-dot, 5 bit pattern, 6 invisible.
void EaselSetLineStyle(int16_t style, uint16_t pattern, int16_t thickness);
// pattern: 0 background colour, 1 solid, 2..7 hatches, 8 user pattern, 9 hollow.
void EaselSetFillStyle(int16_t pattern, uint32_t colour);
void EaselPixel(int16_t x, int16_t y, uint32_t colour);
void EaselLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
void EaselCircle(int16_t x, int16_t y, uint16_t r);
void EaselRect(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
void EaselBar(int16_t x1, int16_t y1, int16_t x2, int16_t y2);
void EaselClear();

// A model coordinate for a drawing call: rounded to the nearest integer (ties to even) and
// clamped to the 16-bit range, so far-off points stay far off. NaN gives -32768 (off-page).
int16_t EaselCoord(double v);

// ---- Text ---------------------------------------------------------------------------------

// Chooses the text font. font: bits 0-3 the font table slot (0 "Courier New", 1 "MS Sans
// Serif", 2 "Times New Roman", 3 "Arial"; 15 and free slots fail with -6, keeping the font),
// bits 4-7 a weight step (weight 400 + 300 * step: 1 is bold), bits 8-11 underline when not 0,
// bits 12-15 italic when not 0. direction: degrees counter-clockwise (90 reads upwards).
// size: the character cell height in pixels, taken as unsigned; 1..5 mean 8 times that (2 is
// 16), 0 means 16, heights above 2048 are drawn at 2048.
void EaselSetTextStyle(int16_t font, int16_t direction, int16_t size);
// Where text stands relative to its point. h: 0 left, 1 centre, 2 right; v: 0 top of the
// cell, 1 bottom of the cell, 2 baseline. Anything else fails with -7 and changes nothing.
void EaselSetTextAlign(int16_t h, int16_t v);
// Draws up to 255 Windows-1252 characters at (x, y) in the drawing colour, unantialiased, over
// a transparent background, with the text style and justification. The current position
// becomes the far end of the drawn text along its direction (the point for right alignment).
void EaselTextAt(int16_t x, int16_t y, const char* text);

// ---- OpenGL -------------------------------------------------------------------------------

// Every window comes with two OpenGL contexts (when the window system has OpenGL; otherwise
// EaselOpen reports -9 and flat drawing works as ever; the headless backend has none and says
// so only through EaselGLSelect). After EaselOpen the bitmap context is current.
//   true:  the window context, double-buffered with a depth buffer: draw a frame, glFlush,
//          then EaselUpdate(2) swaps the buffers to show it.
//   false: the bitmap context, which draws into the draw page. Its drawing reaches the page at
//          the next sync point: EaselSetDrawPage, EaselSetShowPage, EaselUpdate(1 or 2) or
//          EaselGLSelect. Pixels OpenGL changed become their nearest palette entries; pixels it
//          left alone keep any flat drawing. Syncing starts once the program has called
//          EaselGLSelect(false) itself, so programs that never draw with it pay nothing.
// Make OpenGL calls only on the thread that called EaselGLSelect. -1 when no window is open,
// -9 without OpenGL.
void EaselGLSelect(bool useWindow);

// ---- Keyboard and mouse -------------------------------------------------------------------

bool EaselKeyHit();            // a key code is waiting
uint8_t EaselReadKey();        // waits for a code; a 0 means a second code follows (special key)
uint16_t EaselMouseButtons();  // 1 left, 2 right, 4 middle, 8 Shift, 16 Ctrl
uint16_t EaselMouseX();
uint16_t EaselMouseY();

// Asynchronous key state, polled by programs that steer with held keys: bit 15 (0x8000) of
// the result is set while the key is held down in the window. Keys are virtual-key codes:
// letters 'A'..'Z', digits '0'..'9' and the EaselVk constants.
int16_t EaselAsyncKeyState(int vk);
enum EaselVk : int {
  EaselVkBack = 0x08,
  EaselVkTab = 0x09,
  EaselVkClear = 0x0C,
  EaselVkReturn = 0x0D,
  EaselVkShift = 0x10,
  EaselVkControl = 0x11,
  EaselVkMenu = 0x12,
  EaselVkPause = 0x13,
  EaselVkEscape = 0x1B,
  EaselVkSpace = 0x20,
  EaselVkPrior = 0x21,
  EaselVkNext = 0x22,
  EaselVkEnd = 0x23,
  EaselVkHome = 0x24,
  EaselVkLeft = 0x25,
  EaselVkUp = 0x26,
  EaselVkRight = 0x27,
  EaselVkDown = 0x28,
  EaselVkSnapshot = 0x2C,
  EaselVkInsert = 0x2D,
  EaselVkDelete = 0x2E,
  EaselVkApps = 0x5D,
  EaselVkNumpad0 = 0x60,
  EaselVkMultiply = 0x6A,
  EaselVkAdd = 0x6B,
  EaselVkSubtract = 0x6D,
  EaselVkDecimal = 0x6E,
  EaselVkDivide = 0x6F,
  EaselVkF1 = 0x70,
  EaselVkF10 = 0x79,
  EaselVkF11 = 0x7A,
  EaselVkF12 = 0x7B,
};

// ---- Time and diagnostics -----------------------------------------------------------------

uint32_t EaselTickCount();       // milliseconds since an arbitrary start, wraps at 2^32
const char* EaselBackendName();  // "sdl2:x11", "sdl2:offscreen", "headless", ...

#endif  // EASEL_EASEL_H
