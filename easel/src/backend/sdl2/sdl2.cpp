// The SDL2 backend: one real window (X11, Wayland or SDL's offscreen driver).
//
// The window thread initialises SDL's video subsystem, owns the window and loops in WaitMessage
// on short SDL_WaitEventTimeout slices, turning SDL events into the core's Messages and Wake's
// flag into kWake; no other thread feeds SDL's event queue. Frames reach the screen through the
// window surface (SDL_GetWindowSurface + SDL_UpdateWindowSurface); the window is made with
// SDL_WINDOW_OPENGL so OpenGL contexts can be created on it.
//
// OpenGL: after the window exists, the program thread creates two contexts on it: the window
// context (double-buffered where the driver can; SDL's offscreen driver gives a single-buffered
// EGL pbuffer) and the bitmap context, whose framebuffer object renders into a colour texture
// of the page size that the core copies into the draw page. Making current and swapping run on
// the program thread; the window thread keeps presenting pages through the window surface.
//
// Hints are set before every SDL_Init / SDL_InitSubSystem, because SDL_Quit clears them:
//  - FRAMEBUFFER_ACCELERATION "0": the window surface is a plain shared-memory image, not a GL
//    renderer that would paint over the program's own GL back buffer;
//  - NO_SIGNAL_HANDLERS "1": Ctrl+C keeps ending the program;
//  - MOUSE_AUTO_CAPTURE "0": no pointer grab while a button is held.
#include <SDL.h>
#include <SDL_opengl.h>
#include <dlfcn.h>
#include <link.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "backend/backend.h"
#include "easel/easel.h"

namespace easel {
namespace {

// ---- Keys ---------------------------------------------------------------------------------

// Windows-style virtual-key codes that have no EaselVk name.
constexpr int kVkCapital = 0x14;
constexpr int kVkLWin = 0x5B, kVkRWin = 0x5C;
constexpr int kVkNumLock = 0x90, kVkScroll = 0x91;
constexpr int kVkOem1 = 0xBA, kVkOemPlus = 0xBB, kVkOemComma = 0xBC, kVkOemMinus = 0xBD;
constexpr int kVkOemPeriod = 0xBE, kVkOem2 = 0xBF, kVkOem3 = 0xC0, kVkOem4 = 0xDB;
constexpr int kVkOem5 = 0xDC, kVkOem6 = 0xDD, kVkOem7 = 0xDE;

struct KeycodeVk {
  SDL_Keycode key;
  int vk;
};

// Keys identified by their SDL keycode (the layout's meaning). Letters and digits are handled
// by range before this table is consulted.
constexpr KeycodeVk kKeycodeTable[] = {
    {SDLK_BACKSPACE, EaselVkBack},
    {SDLK_TAB, EaselVkTab},
    {SDLK_CLEAR, EaselVkClear},
    {SDLK_RETURN, EaselVkReturn},
    {SDLK_RETURN2, EaselVkReturn},
    {SDLK_LSHIFT, EaselVkShift},
    {SDLK_RSHIFT, EaselVkShift},
    {SDLK_LCTRL, EaselVkControl},
    {SDLK_RCTRL, EaselVkControl},
    {SDLK_LALT, EaselVkMenu},
    {SDLK_RALT, EaselVkMenu},
    {SDLK_PAUSE, EaselVkPause},
    {SDLK_CAPSLOCK, kVkCapital},
    {SDLK_ESCAPE, EaselVkEscape},
    {SDLK_SPACE, EaselVkSpace},
    {SDLK_PAGEUP, EaselVkPrior},
    {SDLK_PAGEDOWN, EaselVkNext},
    {SDLK_END, EaselVkEnd},
    {SDLK_HOME, EaselVkHome},
    {SDLK_LEFT, EaselVkLeft},
    {SDLK_UP, EaselVkUp},
    {SDLK_RIGHT, EaselVkRight},
    {SDLK_DOWN, EaselVkDown},
    {SDLK_PRINTSCREEN, EaselVkSnapshot},
    {SDLK_INSERT, EaselVkInsert},
    {SDLK_DELETE, EaselVkDelete},
    {SDLK_LGUI, kVkLWin},
    {SDLK_RGUI, kVkRWin},
    {SDLK_APPLICATION, EaselVkApps},
    {SDLK_MENU, EaselVkApps},
    {SDLK_F1, EaselVkF1},
    {SDLK_F2, EaselVkF1 + 1},
    {SDLK_F3, EaselVkF1 + 2},
    {SDLK_F4, EaselVkF1 + 3},
    {SDLK_F5, EaselVkF1 + 4},
    {SDLK_F6, EaselVkF1 + 5},
    {SDLK_F7, EaselVkF1 + 6},
    {SDLK_F8, EaselVkF1 + 7},
    {SDLK_F9, EaselVkF1 + 8},
    {SDLK_F10, EaselVkF10},
    {SDLK_F11, EaselVkF11},
    {SDLK_F12, EaselVkF12},
    {SDLK_NUMLOCKCLEAR, kVkNumLock},
    {SDLK_SCROLLLOCK, kVkScroll},
    {SDLK_SEMICOLON, kVkOem1},
    {SDLK_EQUALS, kVkOemPlus},
    {SDLK_COMMA, kVkOemComma},
    {SDLK_MINUS, kVkOemMinus},
    {SDLK_PERIOD, kVkOemPeriod},
    {SDLK_SLASH, kVkOem2},
    {SDLK_BACKQUOTE, kVkOem3},
    {SDLK_LEFTBRACKET, kVkOem4},
    {SDLK_BACKSLASH, kVkOem5},
    {SDLK_RIGHTBRACKET, kVkOem6},
    {SDLK_QUOTE, kVkOem7},
};

struct KeypadVk {
  SDL_Scancode scancode;
  int vkNumLockOn;
  int vkNumLockOff;
};

// The keypad, identified by position: its digits and point depend on NumLock, the rest not.
constexpr KeypadVk kKeypadTable[] = {
    {SDL_SCANCODE_KP_0, EaselVkNumpad0 + 0, EaselVkInsert},
    {SDL_SCANCODE_KP_1, EaselVkNumpad0 + 1, EaselVkEnd},
    {SDL_SCANCODE_KP_2, EaselVkNumpad0 + 2, EaselVkDown},
    {SDL_SCANCODE_KP_3, EaselVkNumpad0 + 3, EaselVkNext},
    {SDL_SCANCODE_KP_4, EaselVkNumpad0 + 4, EaselVkLeft},
    {SDL_SCANCODE_KP_5, EaselVkNumpad0 + 5, EaselVkClear},
    {SDL_SCANCODE_KP_6, EaselVkNumpad0 + 6, EaselVkRight},
    {SDL_SCANCODE_KP_7, EaselVkNumpad0 + 7, EaselVkHome},
    {SDL_SCANCODE_KP_8, EaselVkNumpad0 + 8, EaselVkUp},
    {SDL_SCANCODE_KP_9, EaselVkNumpad0 + 9, EaselVkPrior},
    {SDL_SCANCODE_KP_PERIOD, EaselVkDecimal, EaselVkDelete},
    {SDL_SCANCODE_KP_MULTIPLY, EaselVkMultiply, EaselVkMultiply},
    {SDL_SCANCODE_KP_PLUS, EaselVkAdd, EaselVkAdd},
    {SDL_SCANCODE_KP_MINUS, EaselVkSubtract, EaselVkSubtract},
    {SDL_SCANCODE_KP_DIVIDE, EaselVkDivide, EaselVkDivide},
    {SDL_SCANCODE_KP_ENTER, EaselVkReturn, EaselVkReturn},
};

// The virtual-key code of a key event, 0 when the key has none.
int VirtualKey(const SDL_Keysym& keysym) {
  for (const KeypadVk& k : kKeypadTable) {
    if (k.scancode == keysym.scancode) {
      return (keysym.mod & KMOD_NUM) != 0 ? k.vkNumLockOn : k.vkNumLockOff;
    }
  }
  const SDL_Keycode key = keysym.sym;
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  for (const KeycodeVk& k : kKeycodeTable) {
    if (k.key == key) return k.vk;
  }
  // Letters of non-Latin layouts arrive as their own code points: fall back to the position.
  const SDL_Scancode sc = keysym.scancode;
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc == SDL_SCANCODE_0) return '0';
  return 0;
}

int KeyMods(Uint16 mod) {
  int mods = 0;
  if ((mod & KMOD_SHIFT) != 0) mods |= kModShift;
  if ((mod & KMOD_CTRL) != 0) mods |= kModCtrl;
  if ((mod & KMOD_ALT) != 0) mods |= kModAlt;  // KMOD_MODE (AltGr) is deliberately not Alt
  return mods;
}

// The control character a key produces, or -1. SDL never reports these as text input.
int ControlChar(int vk, int mods) {
  const bool ctrl = (mods & kModCtrl) != 0;
  switch (vk) {
    case EaselVkEscape:
      return 27;
    case EaselVkReturn:
      return ctrl ? 10 : 13;
    case EaselVkBack:
      return ctrl ? 127 : 8;
    case EaselVkTab:
      return 9;
    default:
      break;
  }
  // Ctrl+Alt is AltGr on many layouts and types nothing with a plain letter.
  if (ctrl && (mods & kModAlt) == 0 && vk >= 'A' && vk <= 'Z') return vk - 'A' + 1;
  return -1;
}

// ---- Characters ---------------------------------------------------------------------------

// Unicode code points of Windows-1252 bytes 0x80..0x9F (0 where the byte is unassigned).
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88..8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98..9F
};

// The Windows-1252 byte of a code point, or -1 when it has none or is a control character.
int Cp1252FromCodePoint(uint32_t cp) {
  if ((cp >= 0x20 && cp <= 0x7E) || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  if (cp < 0x100) return -1;
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == cp) return 0x80 + i;
  }
  return -1;
}

// Decodes one UTF-8 sequence at *p (advancing past it). Malformed bytes give 0xFFFFFFFF and
// advance by one byte.
uint32_t NextCodePoint(const unsigned char*& p) {
  constexpr uint32_t kBad = 0xFFFFFFFFu;
  const unsigned char lead = *p++;
  if (lead < 0x80) return lead;
  int extra;
  uint32_t cp;
  uint32_t min;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1Fu, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0Fu, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07u, min = 0x10000;
  } else {
    return kBad;
  }
  const unsigned char* q = p;
  for (int i = 0; i < extra; ++i, ++q) {
    if ((*q & 0xC0) != 0x80) return kBad;  // also stops at the terminating zero
    cp = (cp << 6) | (*q & 0x3Fu);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kBad;
  p = q;
  return cp;
}

// ---- Window state (window thread, except the Wake guard) ----------------------------------

SDL_Window* g_window = nullptr;
int g_buttons = 0;  // MouseBit bits held, as our events saw them

// Messages already translated but not yet handed out (control characters after their key
// down, the second and later characters of one text input event).
constexpr int kPendingCapacity = 40;
Message g_pending[kPendingCapacity];
int g_pendingHead = 0, g_pendingCount = 0;

void PushPending(const Message& m) {
  if (g_pendingCount == kPendingCapacity) return;
  g_pending[(g_pendingHead + g_pendingCount) % kPendingCapacity] = m;
  ++g_pendingCount;
}

// Set by Wake (any thread), taken by WaitMessage within one wait slice. Nothing is sent to the
// window system for it: SDL would wake the waiting thread with an X event sent over a second
// connection, which the server may handle only after this thread, having found the wake by
// itself, has destroyed the window (a fatal BadWindow error at exit).
std::atomic<bool> g_wakePending{false};

// The window surface being written between LockFrame and UnlockFrame.
SDL_Surface* g_frameSurface = nullptr;
bool g_frameLocked = false;
std::vector<uint32_t> g_convertBuffer;  // used when the surface is not 32-bit xRGB
bool g_frameConverted = false;

void SetHints() {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
}

// Whether a display is named but no video driver was asked for: then SDL's offscreen driver
// is a fallback, not a choice.
bool ExpectsRealDisplay() {
  const char* forced = SDL_getenv("SDL_VIDEODRIVER");
  if (forced != nullptr && forced[0] != 0) return false;
  const char* x11 = SDL_getenv("DISPLAY");
  const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && x11[0] != 0) || (wayland != nullptr && wayland[0] != 0);
}

// Ends what InitVideo started and, when nothing else in the process uses SDL, everything SDL
// keeps between initialisations.
void QuitVideo() {
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

// Initialises video; false when it is not available at all.
//
// An X server whose last client has gone resets itself, and a connection attempted during the
// reset is dropped (Xvfb without -noreset: 5-25% of immediate reconnections). SDL then quietly
// falls back to its offscreen driver and the window would be invisible, so a fallback while a
// display is named is retried for a moment before it is accepted.
bool InitVideo() {
  constexpr int kAttempts = 10;
  for (int attempt = 1;; ++attempt) {
    SetHints();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool fellBack = driver != nullptr && std::strcmp(driver, "offscreen") == 0;
    if (!fellBack || attempt == kAttempts || !ExpectsRealDisplay()) return true;
    QuitVideo();
    SDL_Delay(10);
  }
}

int MouseBitsFromState(Uint32 state) {
  int bits = 0;
  if ((state & SDL_BUTTON_LMASK) != 0) bits |= kMouseLeft;
  if ((state & SDL_BUTTON_RMASK) != 0) bits |= kMouseRight;
  if ((state & SDL_BUTTON_MMASK) != 0) bits |= kMouseMiddle;
  return bits;
}

int MouseBit(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return kMouseLeft;
    case SDL_BUTTON_RIGHT:
      return kMouseRight;
    case SDL_BUTTON_MIDDLE:
      return kMouseMiddle;
    default:
      return 0;
  }
}

// The modifiers as of the event being translated. SDL's own modifier state runs ahead of the
// queue (it is updated when events are pumped, not when they are taken), so a Ctrl released
// right after a click would already be gone; key events carry the state in queue order.
int g_eventMods = 0;

int MouseMods() {
  return g_eventMods & (kModShift | kModCtrl);
}

// Translates one SDL event. True when *out holds a message for the core.
bool Translate(const SDL_Event& e, Message* out) {
  Message m;
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      m.vk = VirtualKey(e.key.keysym);
      if (m.vk == 0) {
        g_eventMods = KeyMods(e.key.keysym.mod);
        return false;
      }
      m.mods = KeyMods(e.key.keysym.mod);
      g_eventMods = m.mods;
      if (e.type == SDL_KEYUP) {
        m.kind = MsgKind::kKeyUp;
      } else {
        m.kind = MsgKind::kKeyDown;
        const int c = ControlChar(m.vk, m.mods);
        if (c >= 0) {
          Message ch;
          ch.kind = MsgKind::kChar;
          ch.code = c;
          ch.mods = m.mods;
          PushPending(ch);
        }
      }
      *out = m;
      return true;
    }
    case SDL_TEXTINPUT: {
      const int mods = g_eventMods;
      const auto* p = reinterpret_cast<const unsigned char*>(e.text.text);
      bool first = true;
      while (*p != 0) {
        const int code = Cp1252FromCodePoint(NextCodePoint(p));
        if (code < 0) continue;
        Message ch;
        ch.kind = MsgKind::kChar;
        ch.code = code;
        ch.mods = mods;
        if (first) {
          *out = ch;
          first = false;
        } else {
          PushPending(ch);
        }
      }
      return !first;
    }
    case SDL_MOUSEMOTION:
      if (e.motion.which == SDL_TOUCH_MOUSEID) return false;
      g_buttons = MouseBitsFromState(e.motion.state);
      m.kind = MsgKind::kMouseMove;
      m.x = e.motion.x, m.y = e.motion.y;
      m.buttons = g_buttons;
      m.mods = MouseMods();
      *out = m;
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      if (e.button.which == SDL_TOUCH_MOUSEID) return false;
      const int bit = MouseBit(e.button.button);
      if (bit == 0) return false;
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      g_buttons = down ? (g_buttons | bit) : (g_buttons & ~bit);
      m.kind = down ? MsgKind::kMouseDown : MsgKind::kMouseUp;
      m.x = e.button.x, m.y = e.button.y;
      m.buttons = g_buttons;
      m.mods = MouseMods();
      *out = m;
      return true;
    }
    case SDL_MOUSEWHEEL: {
      if (e.wheel.which == SDL_TOUCH_MOUSEID || e.wheel.y == 0) return false;
      const int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      int wx = 0, wy = 0;
      SDL_GetWindowPosition(g_window, &wx, &wy);
      m.kind = MsgKind::kMouseWheel;
      m.wheel = 120 * notches;
      m.x = wx + e.wheel.mouseX, m.y = wy + e.wheel.mouseY;
      m.buttons = g_buttons;
      m.mods = MouseMods();
      *out = m;
      return true;
    }
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          m.kind = MsgKind::kCloseRequest;
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          m.kind = MsgKind::kExpose;
          break;
        default:
          return false;
      }
      *out = m;
      return true;
    default:
      return false;  // SDL_QUIT follows the close event and is not a request of its own
  }
}

// ---- Backend entries ----------------------------------------------------------------------

bool Available() {
  if (!InitVideo()) return false;
  QuitVideo();
  return true;
}

bool QueryDesktop(DesktopInfo* out) {
  if (!InitVideo()) return false;
  SDL_DisplayMode mode;
  const bool ok = SDL_GetDesktopDisplayMode(0, &mode) == 0;
  if (ok) {
    out->width = mode.w;
    out->height = mode.h;
    out->bitsPerPixel = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
  }
  QuitVideo();
  return ok;
}

bool CreateWindow(const WindowDesc& desc, int* clientWidth, int* clientHeight) {
  if (!InitVideo()) return false;
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);

  Uint32 flags = SDL_WINDOW_SHOWN;
  if (!desc.framed) flags |= SDL_WINDOW_BORDERLESS;
  int x = desc.x, y = desc.y, w = desc.width, h = desc.height;
  if (desc.systemPlaced) x = y = SDL_WINDOWPOS_UNDEFINED, w = 640, h = 480;
  g_window = SDL_CreateWindow(desc.title, x, y, w, h, flags | SDL_WINDOW_OPENGL);
  // Without a usable OpenGL visual the window can still show frames.
  if (g_window == nullptr) g_window = SDL_CreateWindow(desc.title, x, y, w, h, flags);
  if (g_window == nullptr) {
    QuitVideo();
    return false;
  }
  SDL_GetWindowSize(g_window, clientWidth, clientHeight);
  SDL_StartTextInput();

  g_buttons = 0;
  g_eventMods = KeyMods(static_cast<Uint16>(SDL_GetModState()));
  g_pendingHead = g_pendingCount = 0;
  return true;
}

void DestroyWindow() {
  if (g_window == nullptr) return;
  SDL_StopTextInput();
  SDL_DestroyWindow(g_window);
  g_window = nullptr;
  g_frameSurface = nullptr;
  g_frameLocked = g_frameConverted = false;
  std::vector<uint32_t>().swap(g_convertBuffer);
  g_pendingHead = g_pendingCount = 0;
  QuitVideo();
}

// The longest a wake or an event stolen from the socket waits to be seen.
constexpr int kWaitSliceMs = 5;

void WaitMessage(Message* out) {
  if (g_pendingCount > 0) {
    *out = g_pending[g_pendingHead];
    g_pendingHead = (g_pendingHead + 1) % kPendingCapacity;
    --g_pendingCount;
    return;
  }
  SDL_Event e;
  for (;;) {
    // What the window system has delivered comes before a wake. A program that shows pages
    // faster than they are painted has a wake pending every time this thread comes back here;
    // taking the wake first, it would paint back to back and never read a key or a click.
    if (SDL_PollEvent(&e) != 0) {
      if (Translate(e, out)) return;
      continue;
    }
    if (g_wakePending.exchange(false, std::memory_order_acquire)) {
      out->kind = MsgKind::kWake;
      return;
    }
    // Never an endless wait: the program thread's OpenGL calls share the X connection (SDL
    // syncs it on every make-current), and Xlib may read this thread's events into its queue
    // while this thread sleeps on the socket. After a slice SDL pumps that queue.
    if (SDL_WaitEventTimeout(&e, kWaitSliceMs) == 0) {
      if (SDL_WasInit(SDL_INIT_VIDEO) != 0) continue;
      // The event queue is gone (video not initialised): nothing will ever arrive.
      out->kind = MsgKind::kWake;
      SDL_Delay(10);
      return;
    }
    if (Translate(e, out)) return;
  }
}

void Wake() {
  g_wakePending.store(true, std::memory_order_release);
}

bool LockFrame(Frame* out) {
  if (g_window == nullptr) return false;
  SDL_Surface* s = SDL_GetWindowSurface(g_window);
  if (s == nullptr) return false;
  g_frameSurface = s;
  const Uint32 format = s->format->format;
  if (format == SDL_PIXELFORMAT_XRGB8888 || format == SDL_PIXELFORMAT_ARGB8888) {
    if (SDL_MUSTLOCK(s)) {
      if (SDL_LockSurface(s) != 0) return false;
      g_frameLocked = true;
    }
    out->pixels = static_cast<uint32_t*>(s->pixels);
    out->pitch = s->pitch / 4;
    g_frameConverted = false;
  } else {
    g_convertBuffer.resize(static_cast<size_t>(s->w) * static_cast<size_t>(s->h));
    out->pixels = g_convertBuffer.data();
    out->pitch = s->w;
    g_frameConverted = true;
  }
  out->width = s->w;
  out->height = s->h;
  return true;
}

void UnlockFrame() {
  SDL_Surface* s = g_frameSurface;
  if (s == nullptr) return;
  if (g_frameConverted) {
    if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) == 0) g_frameLocked = true;
    SDL_ConvertPixels(s->w, s->h, SDL_PIXELFORMAT_XRGB8888, g_convertBuffer.data(), s->w * 4,
                      s->format->format, s->pixels, s->pitch);
  }
  if (g_frameLocked) SDL_UnlockSurface(s);
  g_frameLocked = false;
  g_frameSurface = nullptr;
  SDL_UpdateWindowSurface(g_window);
}

const char* DriverName() {
  const char* name = SDL_GetCurrentVideoDriver();
  return name != nullptr ? name : "none";
}

// ---- OpenGL (program thread) --------------------------------------------------------------

SDL_GLContext g_windowContext = nullptr;
SDL_GLContext g_bitmapContext = nullptr;

// The framebuffer-object calls, from OpenGL 3.0 / ARB_framebuffer_object or, on older
// drivers, EXT_framebuffer_object (same signatures and enum values for what is used here).
struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
};

template <typename F>
bool LoadCall(F* out, const char* name, const char* suffix) {
  std::string full = std::string(name) + suffix;
  *out = reinterpret_cast<F>(SDL_GL_GetProcAddress(full.c_str()));
  return *out != nullptr;
}

// Loads the calls for the current context. False when the driver has no framebuffer objects.
bool LoadFramebufferCalls(FramebufferCalls* fb) {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const char* suffix;
  if ((version != nullptr && version[0] >= '3' && version[0] <= '9') ||
      SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object")) {
    suffix = "";
  } else if (SDL_GL_ExtensionSupported("GL_EXT_framebuffer_object")) {
    suffix = "EXT";
  } else {
    return false;
  }
  return LoadCall(&fb->genFramebuffers, "glGenFramebuffers", suffix) &&
         LoadCall(&fb->bindFramebuffer, "glBindFramebuffer", suffix) &&
         LoadCall(&fb->framebufferTexture2D, "glFramebufferTexture2D", suffix) &&
         LoadCall(&fb->genRenderbuffers, "glGenRenderbuffers", suffix) &&
         LoadCall(&fb->bindRenderbuffer, "glBindRenderbuffer", suffix) &&
         LoadCall(&fb->renderbufferStorage, "glRenderbufferStorage", suffix) &&
         LoadCall(&fb->framebufferRenderbuffer, "glFramebufferRenderbuffer", suffix) &&
         LoadCall(&fb->checkFramebufferStatus, "glCheckFramebufferStatus", suffix);
}

// In the current (bitmap) context: a framebuffer of an RGBA colour texture and a depth
// buffer, bound for drawing and reading, cleared to black, with the viewport over all of it.
bool MakeBitmapFramebuffer(int width, int height, unsigned* texture) {
  FramebufferCalls fb;
  if (!LoadFramebufferCalls(&fb)) return false;
  GLuint colour = 0, depth = 0, framebuffer = 0;
  glGenTextures(1, &colour);
  glBindTexture(GL_TEXTURE_2D, colour);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
  fb.genRenderbuffers(1, &depth);
  fb.bindRenderbuffer(GL_RENDERBUFFER, depth);
  fb.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  fb.bindRenderbuffer(GL_RENDERBUFFER, 0);
  fb.genFramebuffers(1, &framebuffer);
  fb.bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  fb.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
  fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
  if (fb.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  // The objects live as long as the context; deleting the context frees them.
  glViewport(0, 0, width, height);
  glScissor(0, 0, width, height);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  *texture = colour;
  return glGetError() == GL_NO_ERROR;
}

void GLDeleteContexts() {
  if (g_window != nullptr) SDL_GL_MakeCurrent(g_window, nullptr);
  if (g_bitmapContext != nullptr) SDL_GL_DeleteContext(g_bitmapContext);
  if (g_windowContext != nullptr) SDL_GL_DeleteContext(g_windowContext);
  g_bitmapContext = g_windowContext = nullptr;
}

// Keeps the OpenGL driver stack loaded once it has been: SDL unloads its OpenGL library when
// video quits, and the driver (with its compiler) would be unloaded and loaded again at every
// window. Staying resident makes reopening cheap, spares the driver's libraries an unload
// they are not all written for, and keeps the memory they still reference reachable.
void PinOpenGLDrivers() {
  static bool pinned = false;
  if (pinned) return;
  pinned = true;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        const std::string path = info->dlpi_name != nullptr ? info->dlpi_name : "";
        const size_t slash = path.rfind('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        for (const char* stem : {"libGL", "libEGL", "libOpenGL", "libgbm", "libglapi", "libLLVM"}) {
          if (name.rfind(stem, 0) == 0 || path.find("/dri/") != std::string::npos) {
            // One more reference that is never given back.
            dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            break;
          }
        }
        return 0;
      },
      nullptr);
}

bool GLCreateContexts(int width, int height, unsigned* bitmapTexture) {
  // A window made without OpenGL (no usable visual) has no contexts to offer.
  if (g_window == nullptr || (SDL_GetWindowFlags(g_window) & SDL_WINDOW_OPENGL) == 0) {
    return false;
  }
  g_windowContext = SDL_GL_CreateContext(g_window);
  if (g_windowContext != nullptr) g_bitmapContext = SDL_GL_CreateContext(g_window);
  // SDL_GL_CreateContext leaves the new context current: the bitmap context is set up now.
  const bool ok = g_bitmapContext != nullptr &&
                  MakeBitmapFramebuffer(width, height, bitmapTexture) &&
                  SDL_GL_MakeCurrent(g_window, nullptr) == 0;
  if (!ok) GLDeleteContexts();
  if (ok) PinOpenGLDrivers();
  return ok;
}

bool GLMakeCurrent(GLContext which) {
  if (g_window == nullptr) return false;
  switch (which) {
    case GLContext::kNone:
      return SDL_GL_MakeCurrent(g_window, nullptr) == 0;
    case GLContext::kWindow:
      return g_windowContext != nullptr && SDL_GL_MakeCurrent(g_window, g_windowContext) == 0;
    case GLContext::kBitmap:
      return g_bitmapContext != nullptr && SDL_GL_MakeCurrent(g_window, g_bitmapContext) == 0;
  }
  return false;
}

void GLSwapWindow() {
  if (g_window != nullptr && g_windowContext != nullptr) SDL_GL_SwapWindow(g_window);
}

}  // namespace

const Backend kSdl2Backend = {
    "sdl2",           Available,     QueryDesktop, CreateWindow,     DestroyWindow,
    WaitMessage,      Wake,          LockFrame,    UnlockFrame,      DriverName,
    GLCreateContexts, GLMakeCurrent, GLSwapWindow, GLDeleteContexts,
};

}  // namespace easel
