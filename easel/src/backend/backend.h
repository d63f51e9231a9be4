// The one seam between the easel core and a window system.
//
// A backend is a table of plain functions, chosen at EaselOpen by name (EASEL_BACKEND, else the
// first available entry of the table in backend.cpp). The core owns the window thread and all
// state; the backend only creates the window, turns the window system's events into the
// platform-neutral Messages below and puts finished 32-bit frames on the screen.
//
// Threads: CreateWindow, DestroyWindow, WaitMessage, LockFrame and UnlockFrame run on the window
// thread. Wake may run on any thread. QueryDesktop runs on the program thread while no window
// exists. The OpenGL entries run on the program thread while the window exists.
#ifndef EASEL_BACKEND_BACKEND_H
#define EASEL_BACKEND_BACKEND_H

#include <cstdint>

namespace easel {

// Modifier bits carried by key and mouse messages.
enum Modifier : int { kModShift = 1, kModCtrl = 2, kModAlt = 4 };

// Mouse button bits, as the mouse module reports them.
enum MouseBit : int { kMouseLeft = 1, kMouseRight = 2, kMouseMiddle = 4 };

enum class MsgKind : uint8_t {
  kKeyDown,       // vk, mods (after the key went down; auto-repeat sends more)
  kKeyUp,         // vk
  kChar,          // code (8-bit, Windows-1252), mods
  kMouseMove,     // x, y (client), buttons (kMouse* bits held), mods
  kMouseDown,     // x, y, buttons (state after the press), mods
  kMouseUp,       // x, y, buttons (state after the release), mods
  kMouseWheel,    // x, y (screen), wheel (120 per notch, positive away from the user), mods
  kCloseRequest,  // the user asked to close the window (close box, window manager)
  kExpose,        // the window system lost the window's pixels: repaint it
  kWake,          // posted by Wake(): the core checks its pending repaint/close flags
};

struct Message {
  MsgKind kind = MsgKind::kWake;
  int vk = 0;    // virtual-key code (EaselVk values, 'A'..'Z', '0'..'9')
  int code = 0;  // character code for kChar
  int mods = 0;  // Modifier bits
  int x = 0, y = 0;
  int buttons = 0;  // MouseBit bits
  int wheel = 0;
};

struct DesktopInfo {
  int width = 0, height = 0;  // pixels
  int bitsPerPixel = 0;       // colour depth of the desktop
};

struct WindowDesc {
  const char* title = "";     // UTF-8
  bool systemPlaced = false;  // position and size are the window system's choice
  bool framed = true;         // title bar (not resizable); false: frameless pop-up
  int x = 0, y = 0;           // outer top-left on the desktop
  int width = 0, height = 0;  // client size
};

struct Frame {
  uint32_t* pixels = nullptr;  // 0x00RRGGBB
  int pitch = 0;               // in pixels
  int width = 0, height = 0;
};

// The OpenGL contexts a backend keeps for its window.
enum class GLContext : uint8_t {
  kNone,    // no context current on the calling thread
  kWindow,  // double-buffered RGBA with depth, drawing onto the window
  kBitmap,  // drawing into an off-screen colour texture of the page size, with depth
};

struct Backend {
  const char* name;
  // Whether this backend can run at all in this process (library present, display reachable).
  bool (*Available)();
  bool (*QueryDesktop)(DesktopInfo* out);
  // Creates the window and reports its real client size. False: the window could not be made.
  bool (*CreateWindow)(const WindowDesc& desc, int* clientWidth, int* clientHeight);
  void (*DestroyWindow)();
  // Blocks until a message is available. Messages the backend consumes itself are not passed.
  void (*WaitMessage)(Message* out);
  // Wakes WaitMessage with a kWake message. Any thread; cheap; may be coalesced.
  void (*Wake)();
  // The window's pixels for one repaint: LockFrame, write width x height pixels, UnlockFrame.
  bool (*LockFrame)(Frame* out);
  void (*UnlockFrame)();
  // The driver actually in use, for diagnostics ("x11", "offscreen", ...).
  const char* (*DriverName)();

  // ---- OpenGL: all four null when the backend offers none ----
  // Creates the window context and the bitmap context for the existing window. The bitmap
  // context draws into an RGBA colour texture of width x height pixels (texture row 0 at the
  // bottom) with a depth buffer; its framebuffer stays bound, and *bitmapTexture receives the
  // texture's name in that context. Leaves no context current. False: no context exists.
  bool (*GLCreateContexts)(int width, int height, unsigned* bitmapTexture);
  // Makes a context current on the calling thread. False when that failed.
  bool (*GLMakeCurrent)(GLContext which);
  // Shows the window context's back buffer (the window context is current).
  void (*GLSwapWindow)();
  // Makes no context current and deletes both contexts (any that exist).
  void (*GLDeleteContexts)();
};

// The backend named by EASEL_BACKEND, or the first available one. Never null: the headless
// backend is always built and always available.
const Backend* ChooseBackend();

extern const Backend kHeadlessBackend;
#if EASEL_HAVE_SDL2
extern const Backend kSdl2Backend;
#endif

}  // namespace easel

#endif  // EASEL_BACKEND_BACKEND_H
