#include "tape.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>

#include "capture.h"
#include "core.h"
#include "easel/easel.h"

namespace easel::tape {

namespace detail {
std::atomic<int> mode{kUnset};
std::atomic<bool> skipSleep{false};
}  // namespace detail

namespace {

constexpr char kMagic[8] = {'E', 'a', 's', 'e', 'l', 'T', 'a', 'p'};
constexpr uint8_t kVersion = 1;
constexpr int kSmall = 15;  // a record's low nibble: the value itself below this, else a varint
constexpr size_t kFlushBytes = 4096;

const char* const kKindNames[kKindCount] = {
    "end of tape", "tick-count", "key-hit",       "read-key",       "mouse-buttons", "mouse-x",
    "mouse-y",     "async-key",  "desktop-width", "desktop-height", "desktop-depth",
};

// The largest value each kind can carry (all are non-negative).
constexpr int64_t kMaxValue[kKindCount] = {
    0, 0xFFFFFFFF, 1, 255, 0xFFFF, 0xFFFF, 0xFFFF, 511, INT32_MAX, INT32_MAX, INT32_MAX,
};

uint64_t ZigZag(int64_t v) {
  return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63);
}
int64_t UnZigZag(uint64_t u) {
  return static_cast<int64_t>(u >> 1) ^ -static_cast<int64_t>(u & 1);
}

void PutVarint(std::string* out, uint64_t v) {
  while (v >= 0x80) {
    out->push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
  }
  out->push_back(static_cast<char>(v));
}

// ---- The tape in use (program thread) ---------------------------------------------------------

struct State {
  std::string path;
  // Recording.
  std::FILE* file = nullptr;
  std::optional<Encoder> encoder;
  // Replaying: the whole tape, decoded when it was opened.
  std::vector<Record> records;
  bool endedNormally = false;  // the tape closes with its end record
  size_t next = 0;
  uint64_t reads = 0;  // reads recorded or served so far
  bool exitHook = false;
};

State& Tape() {
  static State& state = *new State;  // never destroyed: exit handlers still use it
  return state;
}

// A read as the messages show it: its kind, and the key for an asynchronous poll.
std::string Describe(Kind kind, int64_t vk) {
  std::string s = KindName(kind);
  if (kind == Kind::kAsyncKey) {
    char buf[16];
    std::snprintf(buf, sizeof buf, " 0x%02X", static_cast<unsigned>(vk));
    s += buf;
  }
  return s;
}

// Ends the program after a tape problem: the window closed, status 3. From an exit handler the
// process cannot call exit again, so it flushes what is open and leaves directly.
[[noreturn]] void EndProgram(bool fromExitHandler) {
  detail::mode.store(kOff, std::memory_order_relaxed);
  detail::skipSleep.store(false, std::memory_order_relaxed);
  if (Lib().open.load(std::memory_order_relaxed)) EaselClose();
  if (!fromExitHandler) std::exit(3);
  capture::Finish();
  std::fflush(nullptr);
  std::_Exit(3);
}

[[noreturn]] void Fail(const std::string& message, bool fromExitHandler = false) {
  std::fprintf(stderr, "easel: %s\n", message.c_str());
  EndProgram(fromExitHandler);
}

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

[[noreturn]] void Mismatch(const std::string& what) {
  Fail("the tape " + Quoted(Tape().path) + " does not match this program at read " +
       std::to_string(Tape().reads) + ": " + what);
}

// Writes what the encoder holds: everything, or only once a block has gathered. False when the
// file could not take it.
bool WriteOut(bool all) {
  State& t = Tape();
  if (!t.encoder || (!all && t.encoder->size() < kFlushBytes)) return true;
  const std::string bytes = t.encoder->Take();
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), t.file) == bytes.size();
  if (all) ok = std::fflush(t.file) == 0 && ok;
  return ok;
}

std::string WriteError() {
  return "cannot write the tape " + Quoted(Tape().path) + ": " + std::strerror(errno);
}

void Close() {
  State& t = Tape();
  if (t.file) std::fclose(t.file);
  const bool exitHook = t.exitHook;
  t = State{};
  t.exitHook = exitHook;
  detail::mode.store(kOff, std::memory_order_relaxed);
  detail::skipSleep.store(false, std::memory_order_relaxed);
}

void FinishTape(bool fromExitHandler) {
  State& t = Tape();
  const int m = detail::mode.load(std::memory_order_relaxed);
  if (m == kRecord) {
    t.encoder->Put(Kind::kEnd, 0);
    if (!WriteOut(true)) std::fprintf(stderr, "easel: %s\n", WriteError().c_str());
  } else if (m == kReplay && t.next < t.records.size()) {
    const Record& r = t.records[t.next];
    Fail("the tape " + Quoted(t.path) + " does not match this program: the program ended after " +
             std::to_string(t.reads) + " reads, and the tape goes on with " +
             Describe(r.kind, r.value >> 1) + " (" + std::to_string(t.records.size() - t.next) +
             " more reads)",
         fromExitHandler);
  }
  Close();
}

void AtExit() {
  FinishTape(true);
}

}  // namespace

const char* KindName(Kind kind) {
  const auto i = static_cast<size_t>(kind);
  return i < static_cast<size_t>(kKindCount) ? kKindNames[i] : "unknown";
}

const char* ProgramName() {
  return program_invocation_short_name;
}

// ---- Encoder / Decoder ------------------------------------------------------------------------

Encoder::Encoder(const std::string& programName) {
  out_.assign(kMagic, sizeof kMagic);
  out_.push_back(static_cast<char>(kVersion));
  PutVarint(&out_, programName.size());
  out_ += programName;
}

void Encoder::Put(Kind kind, int64_t value) {
  const auto k = static_cast<size_t>(kind);
  const uint64_t z = ZigZag(value - last_[k]);
  last_[k] = value;
  if (z < kSmall) {
    out_.push_back(static_cast<char>(k << 4 | z));
  } else {
    out_.push_back(static_cast<char>(k << 4 | kSmall));
    PutVarint(&out_, z - kSmall);
  }
}

std::string Encoder::Take() {
  std::string bytes;
  bytes.swap(out_);
  return bytes;
}

namespace {

bool GetVarint(const std::vector<uint8_t>& bytes, size_t* pos, uint64_t* out) {
  uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (*pos >= bytes.size()) return false;
    const uint8_t b = bytes[(*pos)++];
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) {
      *out = v;
      return true;
    }
  }
  return false;
}

}  // namespace

Decoder::Decoder(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
  if (bytes_.size() < sizeof kMagic + 1 || std::memcmp(bytes_.data(), kMagic, sizeof kMagic) != 0) {
    error_ = "not a tape (no tape header)";
    return;
  }
  pos_ = sizeof kMagic;
  const uint8_t version = bytes_[pos_++];
  if (version != kVersion) {
    error_ = "tape version " + std::to_string(version) + ", this library reads version " +
             std::to_string(kVersion);
    return;
  }
  uint64_t length = 0;
  if (!GetVarint(bytes_, &pos_, &length) || length > bytes_.size() - pos_) {
    error_ = "damaged header";
    return;
  }
  name_.assign(reinterpret_cast<const char*>(bytes_.data() + pos_), length);
  pos_ += length;
}

bool Decoder::Next(Record* out) {
  if (!error_.empty() || pos_ >= bytes_.size()) return false;
  const size_t at = pos_;
  const uint8_t head = bytes_[pos_++];
  const int k = head >> 4;
  uint64_t z = head & 0x0F;
  if (z == kSmall) {
    uint64_t rest = 0;
    if (!GetVarint(bytes_, &pos_, &rest) || rest > UINT64_MAX - kSmall) {
      error_ = "damaged record at byte " + std::to_string(at);
      return false;
    }
    z = rest + kSmall;
  }
  if (k >= kKindCount) {
    error_ = "unknown record kind " + std::to_string(k) + " at byte " + std::to_string(at);
    return false;
  }
  const int64_t value = last_[k] + UnZigZag(z);
  if (value < 0 || value > kMaxValue[k]) {
    error_ =
        std::string("value out of range for ") + kKindNames[k] + " at byte " + std::to_string(at);
    return false;
  }
  last_[k] = value;
  out->kind = static_cast<Kind>(k);
  out->value = value;
  return true;
}

// ---- Recording and replaying --------------------------------------------------------------

void Configure(Mode m, const std::string& path, bool skipSleep) {
  Close();
  State& t = Tape();
  if (m == kRecord) {
    t.path = path;
    t.file = std::fopen(path.c_str(), "wb");
    if (!t.file) Fail("cannot write the tape " + Quoted(path) + ": " + std::strerror(errno));
    t.encoder.emplace(ProgramName());
    if (!WriteOut(true)) Fail(WriteError());
  } else if (m == kReplay) {
    t.path = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot read the tape " + Quoted(path) + ": " + std::strerror(errno));
    Decoder decoder(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    if (!decoder.error().empty()) Fail("the tape " + Quoted(path) + ": " + decoder.error());
    if (decoder.programName() != ProgramName()) {
      Fail("the tape " + Quoted(path) + " was recorded from " + decoder.programName() +
           ", not from " + ProgramName());
    }
    Record r;
    while (decoder.Next(&r)) {
      if (t.endedNormally) Fail("the tape " + Quoted(path) + " is damaged: records after its end");
      if (r.kind == Kind::kEnd) {
        t.endedNormally = true;
      } else {
        t.records.push_back(r);
      }
    }
    if (!decoder.error().empty())
      Fail("the tape " + Quoted(path) + " is damaged: " + decoder.error());
  } else {
    return;
  }
  if (!t.exitHook) {
    std::atexit(AtExit);
    t.exitHook = true;
  }
  detail::skipSleep.store(m == kReplay && skipSleep, std::memory_order_relaxed);
  detail::mode.store(m, std::memory_order_relaxed);
}

void Finish() {
  FinishTape(false);
}

namespace detail {

int SetupFromEnvironment() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (mode.load(std::memory_order_relaxed) != kUnset) return;  // configured by a test
    const char* record = std::getenv("EASEL_RECORD");
    const char* replay = std::getenv("EASEL_REPLAY");
    const bool recording = record && *record, replaying = replay && *replay;
    if (recording && replaying) Fail("EASEL_RECORD and EASEL_REPLAY are both set: choose one");
    if (replaying) {
      const char* backend = std::getenv("EASEL_BACKEND");
      const bool headless = !backend || !*backend || std::strcmp(backend, "headless") == 0;
      Configure(kReplay, replay, headless);
    } else if (recording) {
      Configure(kRecord, record);
    } else {
      mode.store(kOff, std::memory_order_relaxed);
    }
  });
  return mode.load(std::memory_order_relaxed);
}

int64_t Serve(Kind kind, int arg) {
  State& t = Tape();
  ++t.reads;
  if (t.next == t.records.size()) {
    Mismatch(std::string(t.endedNormally ? "the tape ended"
                                         : "the tape is cut short (its recording did not end "
                                           "normally)") +
             " after read " + std::to_string(t.reads - 1) + ", program asked for " +
             Describe(kind, arg));
  }
  const Record& r = t.records[t.next];
  if (r.kind != kind || (kind == Kind::kAsyncKey && r.value >> 1 != (arg & 0xFF))) {
    Mismatch("expected " + Describe(r.kind, r.value >> 1) + ", program asked for " +
             Describe(kind, arg));
  }
  ++t.next;
  if (kind == Kind::kAsyncKey) return (r.value & 1) ? INT16_MIN : 0;
  return r.value;
}

void Note(Kind kind, int arg, int64_t value) {
  State& t = Tape();
  ++t.reads;
  if (kind == Kind::kAsyncKey) value = static_cast<int64_t>(arg & 0xFF) * 2 + (value != 0 ? 1 : 0);
  t.encoder->Put(kind, value);
  if (!WriteOut(false)) Fail(WriteError());
}

}  // namespace detail

const Backend* ChooseBackend() {
  if (CurrentMode() == kReplay) {
    const char* wanted = std::getenv("EASEL_BACKEND");
    if (!wanted || !*wanted) return &kHeadlessBackend;
  }
  return easel::ChooseBackend();
}

void Desktop(DesktopInfo* desk) {
  if (CurrentMode() == kOff) return;
  desk->width = Read<int>(Kind::kDesktopWidth, [&] { return desk->width; });
  desk->height = Read<int>(Kind::kDesktopHeight, [&] { return desk->height; });
  desk->bitsPerPixel = Read<int>(Kind::kDesktopDepth, [&] { return desk->bitsPerPixel; });
}

}  // namespace easel::tape
