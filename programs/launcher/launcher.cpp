#include "launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "easel/easel.h"

extern char** environ;

namespace launcher {

const Demo kDemoList[kDemos] = {
    {"blackhole", "A hundred particles fall into a black hole and start again at random.",
     "Any key or the close box ends it."},
    {"attractor", "Three hundred balls are drawn to the pointer, or pushed away from it.",
     "Hold the left button to attract, the right one to repel; any key ends it."},
    {"attractor_path", "Particles flow downhill toward an attractor and bend around walls.",
     "A moves the attractor; left button draws walls, right drops particles; Escape ends."},
    {"pursuit", "Missiles that turn at a limited rate chase the pointer.",
     "A left click launches a missile; any key ends it."},
    {"troops", "256 soldiers walk into formation and push each other apart.",
     "Drag with the left button to select, hold the right to send them; any key ends it."},
    {"galaxies", "Four laws of rotation wind a disc of 5500 stars into galaxy shapes.",
     "A key moves on to the next law; a key during the fourth ends it."},
    {"binarystars", "Two heavy stars in orbit and twenty planets under Newton's gravitation.",
     "Any key or the close box ends it."},
    {"lightning_a", "A flickering spark between two terminals in 3D, drawn with OpenGL.",
     "The mouse turns the camera, the arrow keys move it; hold Escape to end."},
    {"lightning_b", "The same spark drawn flat through easel's own 3D camera.",
     "Arrows, A and Z fly the camera, a right-button drag turns it; hold Escape to end."},
    {"magfield_a", "Ten magnetic poles attract and repel; short strokes show their field.",
     "Drag a pole with the left button; any key ends it."},
    {"magfield_b", "8192 tracers drift along the field of fifteen magnetic poles.",
     "Hold a button to move the nearest pole; Space resets the tracers; Escape ends."},
    {"magnets", "The field of a bar magnet as a flow from its north to its south pole.",
     "The left button moves the north pole, the right one the south; Escape ends it."},
    {"magfield3d_a", "Tracers drift along the field of eight poles in 3D, drawn with OpenGL.",
     "The mouse and the arrow keys turn and move the camera; hold Escape to end."},
    {"magfield3d_b", "The same 3D field drawn flat through easel's own camera.",
     "Arrows, A and Z fly the camera, a left-button drag turns it; hold Escape to end."},
};

Model model;

namespace {

constexpr const char* kHint = "Click a demo, or choose with Up and Down and start it with Enter.";

// Text: Arial, regular or bold (weight step 1).
constexpr int16_t kArial = 3, kBold = 0x10;

// Variables that would make a demo record, replay or capture the launcher's files.
bool Inherited(std::string_view entry) {
  for (std::string_view drop :
       {"EASEL_RECORD=", "EASEL_REPLAY=", "EASEL_CHECKSUMS=", "EASEL_CAPTURE_"}) {
    if (entry.substr(0, drop.size()) == drop) return false;
  }
  return true;
}

void Text(int16_t x, int16_t y, int16_t font, int16_t size, uint32_t colour, const char* text) {
  EaselSetTextStyle(font, 0, size);
  EaselSetColor(colour);
  EaselTextAt(x, y, text);
}

void Draw() {
  EaselSetDrawPage(model.page);
  EaselClear();
  const uint32_t white = EaselColors[250], grey = EaselColors[127], dark = EaselColors[59];
  const uint32_t lightBlue = EaselColors[122], yellow = EaselColors[253];
  const int16_t right = EaselMaxX();
  Text(16, 12, kArial | kBold, 24, yellow, "easel demos");
  Text(200, 18, kArial, 14, grey, kHint);
  EaselSetColor(dark);
  EaselLine(0, kTop - 4, right, kTop - 4);
  for (int i = 0; i < kDemos; ++i) {
    const auto y = static_cast<int16_t>(kTop + i * kRowHeight);
    if (i == model.selected) {
      EaselSetFillStyle(1, EaselRgb(0, 40, 110));
      EaselBar(0, y, right, static_cast<int16_t>(y + kRowHeight - 2));
    }
    const Demo& d = kDemoList[i];
    const bool built = model.built[i];
    Text(16, static_cast<int16_t>(y + 3), kArial | kBold, 16, built ? white : dark, d.name);
    Text(160, static_cast<int16_t>(y + 2), kArial, 15, built ? white : dark, d.description);
    const std::string controls = built ? d.controls : std::string(d.controls) + " (not built)";
    Text(160, static_cast<int16_t>(y + 18), kArial, 14, built ? lightBlue : dark, controls.c_str());
  }
  const auto bottom = static_cast<int16_t>(kTop + kDemos * kRowHeight);
  EaselSetColor(dark);
  EaselLine(0, bottom, right, bottom);
  Text(16, static_cast<int16_t>(bottom + 8), kArial, 15, yellow, model.status.c_str());
  EaselSetShowPage(model.page);
  model.page = static_cast<int16_t>(1 - model.page);
  model.dirty = false;
}

void Select(int row) {
  if (row < 0 || row >= kDemos || row == model.selected) return;
  model.selected = row;
  model.dirty = true;
}

void SetStatus(const std::string& status) {
  model.status = status;
  model.dirty = true;
}

std::string Names() {
  std::string names;
  for (const Running& r : model.running) {
    if (!names.empty()) names += ", ";
    names += kDemoList[r.demo].name;
  }
  return names;
}

// Reads the key queue; false when the launcher should end.
bool HandleKeys() {
  while (EaselKeyHit()) {
    const uint8_t code = EaselReadKey();
    if (code == 27) return false;
    if (code == 13) {
      Launch(model.selected);
    } else if (code == 0) {
      switch (EaselReadKey()) {
        case 72:
          Select(model.selected - 1);
          break;  // Up
        case 80:
          Select(model.selected + 1);
          break;  // Down
        case 71:
          Select(0);
          break;  // Home
        case 79:
          Select(kDemos - 1);
          break;  // End
        case 107:
          return false;  // the close box (Alt+F4)
        default:
          break;
      }
    }
  }
  return true;
}

void HandleMouse() {
  const uint16_t buttons = EaselMouseButtons();
  const uint16_t x = EaselMouseX(), y = EaselMouseY();
  const int row = RowAt(x, y);
  if (x != model.mouseX || y != model.mouseY) Select(row);  // the pointer moved over a row
  if ((buttons & 1) && !(model.buttons & 1) && row >= 0) {
    Select(row);
    Launch(row);
  }
  model.buttons = buttons;
  model.mouseX = x;
  model.mouseY = y;
}

}  // namespace

std::string OwnDirectory() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  const std::string exe(path, static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

int RowAt(int x, int y) {
  if (x < 0 || x > EaselMaxX() || y < kTop) return -1;
  const int row = (y - kTop) / kRowHeight;
  return row < kDemos ? row : -1;
}

void Scan() {
  for (int i = 0; i < kDemos; ++i) {
    const std::string path = model.directory + "/" + kDemoList[i].name;
    model.built[i] = access(path.c_str(), X_OK) == 0;
  }
  model.dirty = true;
}

bool Launch(int demo) {
  if (demo < 0 || demo >= kDemos) return false;
  const Demo& d = kDemoList[demo];
  const std::string path = model.directory + "/" + d.name;
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) {
    if (Inherited(*e)) env.push_back(*e);
  }
  env.push_back(nullptr);
  std::string name = d.name;
  char* argv[] = {name.data(), nullptr};
  pid_t pid = 0;
  const int error = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, env.data());
  if (error != 0) {
    SetStatus(std::string("Cannot start ") + d.name + ": " + std::strerror(error));
    return false;
  }
  model.running.push_back(Running{pid, demo});
  SetStatus("Running: " + Names());
  return true;
}

void Reap() {
  for (size_t i = 0; i < model.running.size();) {
    int status = 0;
    if (waitpid(model.running[i].pid, &status, WNOHANG) == model.running[i].pid) {
      const std::string name = kDemoList[model.running[i].demo].name;
      model.running.erase(model.running.begin() + static_cast<std::ptrdiff_t>(i));
      const std::string still = model.running.empty() ? "" : "  Running: " + Names();
      SetStatus(name + " has ended." + still);
    } else {
      ++i;
    }
  }
}

void Start() {
  int16_t driver = 3, mode = 6;  // 256 colours, 800 x 600
  EaselOpen(driver, mode, "easel demos");
  model.selected = 0;
  model.page = 1;
  model.buttons = EaselMouseButtons();
  model.mouseX = EaselMouseX();
  model.mouseY = EaselMouseY();
  model.running.clear();
  model.status = "Escape or the close box ends the launcher; demos keep running.";
  model.directory = OwnDirectory();
  Scan();
}

bool Frame() {
  if (!HandleKeys()) return false;
  HandleMouse();
  Reap();
  if (model.dirty) Draw();
  EaselSleep(kPauseMs);
  return true;
}

void End() {
  EaselClose();
}

}  // namespace launcher
