// Replay tapes: every value a program reads from outside, recorded in order or served back.
//
// A program's run is fully determined by what the library hands it from outside: the desktop
// it opens on, the tick count that seeds its generator, each key-queue and mouse read, each
// asynchronous key poll. EASEL_RECORD=path writes those values, in the order they are read, to
// a tape; EASEL_REPLAY=path serves them back instead of the live ones, so every page is drawn
// exactly as in the recorded run. A replay that no longer fits the program (a different read,
// a tape that ends too early or goes on after the program has ended, another program's tape) is
// reported on stderr with the index of the read, and the program is ended with status 3 after
// its window has been closed.
//
// File: the 8 bytes "EaselTap", a version byte, the program name (varint length, bytes), then
// one record per read. A record's first byte is kind << 4 | small; the value is stored as the
// zigzag of its difference from the previous value of the same kind: small itself when below
// 15, else 15 and a varint of (zigzag - 15). A record of kind kEnd closes a tape whose program
// ended normally.
//
// Threads: every read runs on the program thread; only the mode is an atomic.
#ifndef EASEL_TAPE_H
#define EASEL_TAPE_H

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "backend/backend.h"

namespace easel::tape {

enum class Kind : uint8_t {
  kEnd = 0,
  kTick = 1,      // EaselTickCount
  kKeyHit,        // EaselKeyHit (0 or 1)
  kReadKey,       // EaselReadKey
  kMouseButtons,  // EaselMouseButtons
  kMouseX,        // EaselMouseX
  kMouseY,        // EaselMouseY
  kAsyncKey,      // EaselAsyncKeyState: vk * 2 + (held ? 1 : 0)
  kDesktopWidth,  // the desktop EaselOpen sizes its window by
  kDesktopHeight,
  kDesktopDepth,
};
constexpr int kKindCount = 11;

// "mouse-x", "key-hit", ...
const char* KindName(Kind kind);

enum Mode : int { kUnset = 0, kOff, kRecord, kReplay };

// ---- Hooks (core.cpp) ---------------------------------------------------------------------

namespace detail {
extern std::atomic<int> mode;
extern std::atomic<bool> skipSleep;
int SetupFromEnvironment();
int64_t Serve(Kind kind, int arg);
void Note(Kind kind, int arg, int64_t value);
}  // namespace detail

inline int CurrentMode() {
  const int m = detail::mode.load(std::memory_order_relaxed);
  return m != kUnset ? m : detail::SetupFromEnvironment();
}

// One outside read: live() when no tape is in use, else recorded or served from the tape.
// arg is what the program asked about (the key of an asynchronous poll).
template <typename T, typename Live>
inline T Read(Kind kind, Live&& live, int arg = 0) {
  const int m = CurrentMode();
  if (m == kOff) return live();
  if (m == kReplay) return static_cast<T>(detail::Serve(kind, arg));
  const T value = live();
  detail::Note(kind, arg, static_cast<int64_t>(value));
  return value;
}

// The backend EaselOpen uses: headless during a replay unless EASEL_BACKEND names one.
const Backend* ChooseBackend();
// The desktop EaselOpen sizes its window by: recorded, or replaced by the recorded one.
void Desktop(DesktopInfo* desk);
// Whether EaselSleep returns at once (a replay on the headless backend has nobody to wait for).
inline bool SkipSleep() {
  return detail::skipSleep.load(std::memory_order_relaxed);
}

// ---- Control, for the project's tests ------------------------------------------------------

// Starts recording to (kRecord) or replaying from (kReplay) path, or stops (kOff) without
// finishing. A tape that cannot be opened or read is reported and ends the program (status 3).
void Configure(Mode mode, const std::string& path, bool skipSleep = false);
// What happens at exit: a recording gets its end record and is closed; a replay must have been
// used up exactly (otherwise: reported, status 3). The mode is off afterwards.
void Finish();
// Whether a tape is being replayed.
inline bool Replaying() {
  return CurrentMode() == kReplay;
}
// The name tapes are recorded under and checked against.
const char* ProgramName();

// ---- The file format ----------------------------------------------------------------------

struct Record {
  Kind kind = Kind::kEnd;
  int64_t value = 0;
};

class Encoder {
 public:
  explicit Encoder(const std::string& programName);
  void Put(Kind kind, int64_t value);
  // The bytes written since the last Take (the header included the first time).
  std::string Take();
  size_t size() const { return out_.size(); }

 private:
  std::string out_;
  int64_t last_[16] = {};
};

class Decoder {
 public:
  // Parses the header; error() says what was wrong when it is not a tape.
  explicit Decoder(std::vector<uint8_t> bytes);
  const std::string& error() const { return error_; }
  const std::string& programName() const { return name_; }
  // The next record; false at the end of the bytes, or with error() set when they are damaged.
  bool Next(Record* out);

 private:
  std::vector<uint8_t> bytes_;
  size_t pos_ = 0;
  std::string error_, name_;
  int64_t last_[16] = {};
};

}  // namespace easel::tape

#endif  // EASEL_TAPE_H
