// launcher: the list on the screen, choosing by keys and by click, starting the chosen demo with
// a clean environment, and ending.
#include "launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "backend/headless/headless.h"
#include "easel/easel.h"

namespace {

namespace fs = std::filesystem;
using launcher::kDemos;
using launcher::kRowHeight;
using launcher::kTop;
using launcher::model;

// A stand-in demo: writes its environment beside itself, counts its starts and ends.
void WriteFakeDemo(const fs::path& dir, const std::string& name) {
  const fs::path path = dir / name;
  // The environment appears whole or not at all (renamed into place), so a reader never sees
  // half of it.
  std::ofstream(path) << "#!/bin/sh\nenv > \"$0.env.part\"\nmv \"$0.env.part\" \"$0.env\"\n"
                         "echo started >> \"$0.log\"\n";
  fs::permissions(path, fs::perms::owner_all);
}

std::string WaitForFile(const fs::path& path) {
  for (int i = 0; i < 500 && !fs::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void Inject(const easel::Message& m) {
  easel::headless::Inject(m);
  easel::headless::Sync();
}

void Key(int vk) {
  easel::Message m;
  m.kind = easel::MsgKind::kKeyDown;
  m.vk = vk;
  Inject(m);
}

void Char(int code) {
  easel::Message m;
  m.kind = easel::MsgKind::kChar;
  m.code = code;
  Inject(m);
}

void Mouse(easel::MsgKind kind, int x, int y, int buttons) {
  easel::Message m;
  m.kind = kind;
  m.x = x;
  m.y = y;
  m.buttons = buttons;
  Inject(m);
}

int RowCentre(int row) {
  return kTop + row * kRowHeight + kRowHeight / 2;
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    easel::headless::SetDesktop(1280, 1024, 24);
    dir_ = fs::path(::testing::TempDir()) / ("launcher_test_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const char* name : {"blackhole", "attractor_path", "troops"}) WriteFakeDemo(dir_, name);
    launcher::Start();
    ASSERT_EQ(EaselResult(), 0);
    model.directory = dir_.string();
    launcher::Scan();
  }
  void TearDown() override {
    for (const launcher::Running& r : model.running) waitpid(r.pid, nullptr, 0);
    launcher::End();
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(Launcher, ListsEveryDemoInItsRow) {
  EXPECT_EQ(easel::headless::Window().title, "easel demos");
  EXPECT_STREQ(launcher::kDemoList[0].name, "blackhole");
  EXPECT_STREQ(launcher::kDemoList[kDemos - 1].name, "magfield3d_b");
  for (int row = 0; row < kDemos; ++row) {
    EXPECT_EQ(launcher::RowAt(5, RowCentre(row)), row);
    EXPECT_EQ(launcher::RowAt(790, kTop + row * kRowHeight), row);
  }
  EXPECT_EQ(launcher::RowAt(400, kTop - 1), -1);
  EXPECT_EQ(launcher::RowAt(400, kTop + kDemos * kRowHeight), -1);
  EXPECT_EQ(launcher::RowAt(-1, RowCentre(2)), -1);

  EXPECT_TRUE(model.built[0]);
  EXPECT_FALSE(model.built[1]);  // attractor: not in the directory
  EXPECT_TRUE(model.built[2]);

  ASSERT_TRUE(launcher::Frame());
  easel::headless::Sync();
  // Every row has writing in its name column; built names are white, others dark grey.
  for (int row = 0; row < kDemos; ++row) {
    int white = 0, grey = 0;
    for (int y = kTop + row * kRowHeight; y < kTop + (row + 1) * kRowHeight; ++y) {
      for (int x = 16; x < 150; ++x) {
        const uint32_t p = easel::headless::ScreenPixel(x, y);
        white += p == 0xFCFCFC;
        grey += p != 0xFCFCFC && p != 0 && row != model.selected;
      }
    }
    if (model.built[row]) {
      EXPECT_GT(white, 30) << launcher::kDemoList[row].name;
    } else {
      EXPECT_EQ(white, 0) << launcher::kDemoList[row].name;
      EXPECT_GT(grey, 30) << launcher::kDemoList[row].name;
    }
  }
}

TEST_F(Launcher, ArrowsAndEnterStartTheChosenDemoWithoutTapeVariables) {
  setenv("EASEL_RECORD", "/nonexistent/tape", 1);
  setenv("EASEL_CAPTURE_GIF", "/nonexistent/a.gif", 1);
  setenv("EASEL_LAUNCHER_TEST", "kept", 1);
  Key(EaselVkDown);
  Key(EaselVkDown);
  Key(EaselVkUp);
  Key(EaselVkDown);
  Char(13);
  ASSERT_TRUE(launcher::Frame());
  unsetenv("EASEL_RECORD");
  unsetenv("EASEL_CAPTURE_GIF");
  EXPECT_EQ(model.selected, 2);
  ASSERT_EQ(model.running.size(), 1u);
  const std::string env = WaitForFile(dir_ / "attractor_path.env");
  EXPECT_NE(env.find("EASEL_LAUNCHER_TEST=kept"), std::string::npos);
  EXPECT_EQ(env.find("EASEL_RECORD"), std::string::npos);
  EXPECT_EQ(env.find("EASEL_CAPTURE_GIF"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "blackhole.env"));

  // Once it has ended the launcher reaps it and says so.
  for (int i = 0; i < 1000 && !model.running.empty(); ++i) ASSERT_TRUE(launcher::Frame());
  EXPECT_TRUE(model.running.empty());
  EXPECT_NE(model.status.find("attractor_path has ended"), std::string::npos);
}

TEST_F(Launcher, AClickStartsTheDemoUnderThePointer) {
  Mouse(easel::MsgKind::kMouseMove, 300, RowCentre(4), 0);
  ASSERT_TRUE(launcher::Frame());
  EXPECT_EQ(model.selected, 4);  // the pointer over a row chooses it
  EXPECT_TRUE(model.running.empty());
  Mouse(easel::MsgKind::kMouseDown, 300, RowCentre(4), easel::kMouseLeft);
  ASSERT_TRUE(launcher::Frame());
  ASSERT_TRUE(launcher::Frame());  // held: started once
  EXPECT_NE(WaitForFile(dir_ / "troops.env"), "");
  Mouse(easel::MsgKind::kMouseUp, 300, RowCentre(4), 0);
  for (int i = 0; i < 1000 && !model.running.empty(); ++i) ASSERT_TRUE(launcher::Frame());
  EXPECT_EQ(WaitForFile(dir_ / "troops.log"), "started\n");
}

TEST_F(Launcher, ADemoThatIsNotBuiltIsReportedNotStarted) {
  Mouse(easel::MsgKind::kMouseDown, 300, RowCentre(1), easel::kMouseLeft);  // attractor
  ASSERT_TRUE(launcher::Frame());
  EXPECT_TRUE(model.running.empty());
  EXPECT_NE(model.status.find("Cannot start attractor"), std::string::npos) << model.status;
}

TEST_F(Launcher, EscapeAndTheCloseBoxEndIt) {
  Char(27);
  EXPECT_FALSE(launcher::Frame());
  easel::Message close;
  close.kind = easel::MsgKind::kCloseRequest;
  Inject(close);
  EXPECT_FALSE(launcher::Frame());
  Char('x');
  EXPECT_TRUE(launcher::Frame());  // other keys do not
}

}  // namespace
