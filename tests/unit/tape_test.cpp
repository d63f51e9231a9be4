// Replay tapes: the file format, record -> replay giving the same pages, and every way a tape
// can fail to fit the program being reported with its read index and status 3.
#include "tape.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "backend/headless/headless.h"
#include "blackhole.h"
#include "capture.h"
#include "common/random.h"
#include "core.h"
#include "easel/easel.h"

namespace {

using easel::tape::Decoder;
using easel::tape::Encoder;
using easel::tape::Kind;
using easel::tape::Record;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "/tape_test_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

std::vector<Record> DecodeAll(Decoder& d) {
  std::vector<Record> out;
  Record r;
  while (d.Next(&r)) out.push_back(r);
  return out;
}

// ---- The file format --------------------------------------------------------------------------

TEST(TapeFormat, RecordsComeBackInOrderWithTheirValues) {
  const std::vector<Record> records = {
      {Kind::kDesktopWidth, 1280},
      {Kind::kDesktopHeight, 1024},
      {Kind::kDesktopDepth, 24},
      {Kind::kTick, 0xFFFFFFF0u},
      {Kind::kKeyHit, 0},
      {Kind::kMouseX, 799},
      {Kind::kMouseY, 0},
      {Kind::kMouseButtons, 31},
      {Kind::kTick, 5},  // wrapped
      {Kind::kKeyHit, 1},
      {Kind::kReadKey, 0},
      {Kind::kReadKey, 255},
      {Kind::kAsyncKey, 0x1B * 2 + 1},
      {Kind::kAsyncKey, 0x1B * 2},
      {Kind::kMouseX, 65535},
      {Kind::kMouseX, 3},
      {Kind::kEnd, 0},
  };
  Encoder e("troops");
  for (const Record& r : records) e.Put(r.kind, r.value);
  Decoder d(Bytes(e.Take()));
  ASSERT_EQ(d.error(), "");
  EXPECT_EQ(d.programName(), "troops");
  const std::vector<Record> back = DecodeAll(d);
  EXPECT_EQ(d.error(), "");
  ASSERT_EQ(back.size(), records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(back[i].kind, records[i].kind) << i;
    EXPECT_EQ(back[i].value, records[i].value) << i;
  }
}

TEST(TapeFormat, AQuietFrameTakesOneByteARead) {
  Encoder e("p");
  e.Put(Kind::kMouseX, 400);
  e.Put(Kind::kMouseY, 300);
  e.Put(Kind::kMouseButtons, 0);
  e.Put(Kind::kKeyHit, 0);
  const size_t first = e.Take().size();
  for (int frame = 0; frame < 100; ++frame) {
    e.Put(Kind::kMouseX, 400 + frame % 3);
    e.Put(Kind::kMouseY, 300);
    e.Put(Kind::kMouseButtons, 0);
    e.Put(Kind::kKeyHit, 0);
  }
  EXPECT_GT(first, 4u);
  EXPECT_EQ(e.Take().size(), 400u);
}

TEST(TapeFormat, DamagedTapesAreRecognised) {
  Encoder good("blackhole");
  good.Put(Kind::kKeyHit, 1);
  const std::string header = good.Take().substr(0, 8 + 1 + 1 + 9);
  struct Case {
    const char* what;
    std::string bytes;
    bool headerFails;
    const char* error;
  };
  const Case cases[] = {
      {"another file", "\x89PNG\r\n\x1a\n and so on", true, "not a tape"},
      {"empty", "", true, "not a tape"},
      {"a later version", std::string("EaselTap\x02\x01p", 11), true, "version 2"},
      {"a name longer than the file", std::string("EaselTap\x01\x09pro", 13), true, "header"},
      {"an unknown kind", header + "\xC0", false, "unknown record kind 12"},
      {"a varint running off the end", header + "\x1F\xFF\xFF", false, "damaged record"},
      {"key-hit of 2", header + "\x24", false, "out of range for key-hit"},
      {"a negative mouse-x", header + "\x51", false, "out of range for mouse-x"},
  };
  for (const Case& c : cases) {
    Decoder d(Bytes(c.bytes));
    if (c.headerFails) {
      EXPECT_NE(d.error().find(c.error), std::string::npos) << c.what << ": " << d.error();
      continue;
    }
    ASSERT_EQ(d.error(), "") << c.what;
    Record r;
    EXPECT_FALSE(d.Next(&r)) << c.what;
    EXPECT_NE(d.error().find(c.error), std::string::npos) << c.what << ": " << d.error();
  }
}

// ---- Record, then replay ----------------------------------------------------------------------

// A small program that reads every kind of outside value and lets each one shape its pages.
struct Probe {
  int16_t page = 0;
  int frames = 0;
  uint8_t lastKey = 0;

  void Start() {
    int16_t driver = 3, mode = 1;  // 320 x 200
    EaselOpen(driver, mode, "probe");
    RandomSeed();
  }
  bool Frame() {
    ++frames;
    EaselSetDrawPage(page);
    page = static_cast<int16_t>(1 - page);
    EaselSetShowPage(page);
    EaselClear();
    for (int i = 0; i < 20; ++i) EaselPixel(RandomInt(320), RandomInt(200), EaselColors[250]);
    const uint16_t buttons = EaselMouseButtons();
    const int16_t x = static_cast<int16_t>(EaselMouseX()), y = static_cast<int16_t>(EaselMouseY());
    EaselSetColor(EaselColors[(buttons & 1) ? 207 : 105]);
    EaselCircle(x, y, static_cast<uint16_t>(5 + buttons));
    if (EaselAsyncKeyState('A') & 0x8000) EaselBar(0, 0, 10, 10);
    while (EaselKeyHit()) {
      const uint8_t code = EaselReadKey();
      if (code == 27) return false;
      lastKey = code;
    }
    EaselSetColor(EaselColors[253]);
    EaselBar(20, 190, static_cast<int16_t>(20 + lastKey), 195);
    EaselSleep(1);
    return true;
  }
  void End() { EaselClose(); }
};

easel::Message Msg(easel::MsgKind kind) {
  easel::Message m;
  m.kind = kind;
  return m;
}

// What the user does before frame n of the recorded run.
void UserInputBefore(int n) {
  using easel::MsgKind;
  easel::Message m;
  switch (n) {
    case 3:
      m = Msg(MsgKind::kMouseMove), m.x = 100, m.y = 50;
      break;
    case 5:
      m = Msg(MsgKind::kMouseDown), m.x = 120, m.y = 60, m.buttons = easel::kMouseLeft;
      break;
    case 8:
      m = Msg(MsgKind::kMouseUp), m.x = 150, m.y = 90;
      break;
    case 10:
      m = Msg(MsgKind::kChar), m.code = 'q';
      break;
    case 12:
      m = Msg(MsgKind::kKeyDown), m.vk = EaselVkLeft;  // puts 0, 75
      break;
    case 14:
      m = Msg(MsgKind::kKeyDown), m.vk = 'A';
      break;
    case 17:
      m = Msg(MsgKind::kKeyUp), m.vk = 'A';
      break;
    case 20:
      m = Msg(MsgKind::kChar), m.code = 27;
      break;
    default:
      return;
  }
  easel::headless::Inject(m);
  easel::headless::Sync();
}

void CaptureChecksums(const std::string& path) {
  easel::capture::Settings s;
  s.checksums = path;
  easel::capture::Configure(s);
}

void StopAll() {
  easel::tape::Finish();
  easel::capture::Finish();
}

TEST(TapeReplay, EveryKindOfReadReplaysToTheSamePages) {
  easel::headless::SetDesktop(1920, 1080, 32);
  const std::string tape = TempPath("probe.tape"), recorded = TempPath("probe.rec"),
                    replayed = TempPath("probe.rep");

  easel::tape::Configure(easel::tape::kRecord, tape);
  CaptureChecksums(recorded);
  Probe live;
  live.Start();
  for (int n = 1;; ++n) {
    UserInputBefore(n);
    if (!live.Frame()) break;
  }
  live.End();
  StopAll();

  // The replay gets other live input, which it must not see.
  easel::tape::Configure(easel::tape::kReplay, tape, true);
  CaptureChecksums(replayed);
  Probe again;
  again.Start();
  easel::Message key = Msg(easel::MsgKind::kChar);
  key.code = 27;
  easel::headless::Inject(key);
  easel::headless::Sync();
  while (again.Frame()) {
  }
  again.End();
  StopAll();

  EXPECT_EQ(live.frames, 20);
  EXPECT_EQ(again.frames, live.frames);
  EXPECT_EQ(again.lastKey, 75);
  const std::string sums = ReadFile(recorded);
  EXPECT_EQ(std::count(sums.begin(), sums.end(), '\n'), 20);
  EXPECT_EQ(ReadFile(replayed), sums);
}

TEST(TapeReplay, BlackholeReplaysFrameForFrame) {
  easel::headless::SetDesktop(1280, 1024, 24);
  const std::string tape = TempPath("blackhole.tape"), recorded = TempPath("blackhole.rec"),
                    replayed = TempPath("blackhole.rep"), other = TempPath("blackhole.other");

  auto run = [](easel::tape::Mode mode, const std::string& tapePath, const std::string& sums,
                int keyAfter) {
    if (mode != easel::tape::kOff) easel::tape::Configure(mode, tapePath, true);
    CaptureChecksums(sums);
    blackhole::Start();
    int frames = 1;
    for (; blackhole::Frame(); ++frames) {
      if (frames == keyAfter) {
        easel::Message key = Msg(easel::MsgKind::kChar);
        key.code = ' ';
        easel::headless::Inject(key);
        easel::headless::Sync();
      }
    }
    blackhole::End();
    StopAll();
    return frames;
  };
  const int recordedFrames = run(easel::tape::kRecord, tape, recorded, 40);
  EaselSleep(5);  // another tick count for the live run below
  const int liveFrames = run(easel::tape::kOff, "", other, 40);
  const int replayedFrames = run(easel::tape::kReplay, tape, replayed, 5);  // key ignored

  EXPECT_EQ(recordedFrames, 41);
  EXPECT_EQ(replayedFrames, recordedFrames);
  EXPECT_EQ(ReadFile(replayed), ReadFile(recorded));
  // The pages do depend on the seed: a live run seeded from another tick differs.
  EXPECT_EQ(liveFrames, recordedFrames);
  EXPECT_NE(ReadFile(other), ReadFile(recorded));
}

TEST(TapeReplay, TheRecordedDesktopSizesTheWindow) {
  const std::string tape = TempPath("desktop.tape");
  easel::headless::SetDesktop(1024, 768, 24);
  easel::tape::Configure(easel::tape::kRecord, tape);
  int16_t driver = 3, mode = 12;  // the desktop's size
  EaselOpen(driver, mode, "desk");
  ASSERT_EQ(EaselMaxX(), 1023);
  EaselClose();
  StopAll();

  easel::headless::SetDesktop(1920, 1080, 32);
  easel::tape::Configure(easel::tape::kReplay, tape, true);
  EaselOpen(driver, mode, "desk");
  EXPECT_EQ(EaselMaxX(), 1023);
  EXPECT_EQ(EaselMaxY(), 767);
  EXPECT_EQ(easel::headless::Window().width, 1024);
  EaselClose();
  StopAll();
}

// ---- Tapes that do not fit ---------------------------------------------------------------------

void ReportWindowAtExit() {
  std::fprintf(stderr, "window open at exit: %d\n", easel::Lib().open.load() ? 1 : 0);
}

struct Call {
  Kind kind;
  int vk = 0;
};

void Perform(const Call& c) {
  switch (c.kind) {
    case Kind::kTick:
      EaselTickCount();
      break;
    case Kind::kKeyHit:
      EaselKeyHit();
      break;
    case Kind::kReadKey:
      EaselReadKey();
      break;
    case Kind::kMouseButtons:
      EaselMouseButtons();
      break;
    case Kind::kMouseX:
      EaselMouseX();
      break;
    case Kind::kMouseY:
      EaselMouseY();
      break;
    case Kind::kAsyncKey:
      EaselAsyncKeyState(c.vk);
      break;
    default:
      break;
  }
}

struct MismatchCase {
  const char* what;
  const char* program;  // the name in the tape; nullptr: this test program's
  std::vector<Record> tape;
  std::vector<Call> calls;
  bool exitAfterCalls;  // the program ends (exit 0) after its calls
  const char* message;  // a regular expression for stderr
};

// The program of a mismatch case: a window, a replay and the case's reads.
void RunMismatchCase(const MismatchCase& c, const std::string& path) {
  easel::headless::SetDesktop(1920, 1080, 32);
  int16_t driver = 3, mode = 1;
  EaselOpen(driver, mode, "mismatch");
  std::atexit(ReportWindowAtExit);
  easel::tape::Configure(easel::tape::kReplay, path, true);
  for (const Call& call : c.calls) Perform(call);
  if (c.exitAfterCalls) std::exit(0);
}

void ReplayAndExpectStatus3(const MismatchCase& c) {
  const std::string path = TempPath("mismatch.tape");
  Encoder e(c.program ? c.program : easel::tape::ProgramName());
  for (const Record& r : c.tape) e.Put(r.kind, r.value);
  WriteFile(path, e.Take());
  EXPECT_EXIT(RunMismatchCase(c, path), ::testing::ExitedWithCode(3), c.message) << c.what;
}

TEST(TapeMismatch, IsReportedWithTheReadIndexAndEndsTheProgramWithStatus3) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::vector<MismatchCase> cases = {
      {"another read than recorded",
       nullptr,
       {{Kind::kTick, 77}, {Kind::kKeyHit, 0}, {Kind::kMouseX, 5}, {Kind::kEnd, 0}},
       {{Kind::kTick}, {Kind::kKeyHit}, {Kind::kKeyHit}},
       false,
       "does not match this program at read 3: expected mouse-x, program asked for "
       "key-hit\n.*window open at exit: 0"},
      {"another key polled",
       nullptr,
       {{Kind::kAsyncKey, 0x1B * 2 + 1}, {Kind::kEnd, 0}},
       {{Kind::kAsyncKey, 0x20}},
       false,
       "at read 1: expected async-key 0x1B, program asked for async-key 0x20"},
      {"a read after the end",
       nullptr,
       {{Kind::kKeyHit, 0}, {Kind::kEnd, 0}},
       {{Kind::kKeyHit}, {Kind::kReadKey}},
       false,
       "at read 2: the tape ended after read 1, program asked for read-key"},
      {"a tape cut short",
       nullptr,
       {{Kind::kKeyHit, 0}},
       {{Kind::kKeyHit}, {Kind::kMouseY}},
       false,
       "at read 2: the tape is cut short .*after read 1, program asked for mouse-y"},
      {"a program that ends before the tape",
       nullptr,
       {{Kind::kKeyHit, 0}, {Kind::kKeyHit, 1}, {Kind::kEnd, 0}},
       {{Kind::kKeyHit}},
       true,
       "the program ended after 1 reads, and the tape goes on with key-hit"},
      {"another program's tape",
       "attractor",
       {{Kind::kKeyHit, 0}, {Kind::kEnd, 0}},
       {{Kind::kKeyHit}},
       false,
       "was recorded from attractor, not from tape_test"},
  };
  for (const MismatchCase& c : cases) ReplayAndExpectStatus3(c);
}

TEST(TapeMismatch, AFileThatIsNotATapeEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string path = TempPath("not.tape");
  WriteFile(path, "GIF89a...");
  EXPECT_EXIT(easel::tape::Configure(easel::tape::kReplay, path), ::testing::ExitedWithCode(3),
              "not a tape");
  EXPECT_EXIT(easel::tape::Configure(easel::tape::kReplay, TempPath("missing.tape")),
              ::testing::ExitedWithCode(3), "cannot read the tape");
}

TEST(TapeMismatch, AFaithfulReplayEndsWithTheProgramsOwnStatus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string path = TempPath("faithful.tape");
  Encoder e(easel::tape::ProgramName());
  e.Put(Kind::kKeyHit, 1);
  e.Put(Kind::kReadKey, 27);
  e.Put(Kind::kEnd, 0);
  WriteFile(path, e.Take());
  EXPECT_EXIT(
      {
        easel::tape::Configure(easel::tape::kReplay, path);
        if (EaselKeyHit() && EaselReadKey() == 27) std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
