// The demo launcher: one window listing the fourteen demos, each with a line on what it shows
// and a line on its controls. A click on a demo, or the arrow keys and Enter, starts it: the
// demo's program, found beside the launcher's own, runs as a process of its own while the
// launcher stays open (several demos may run at once; the launcher reaps them as they end and
// says so on its status line). A demo that is not built is greyed out. Escape, or the close
// box, ends the launcher; demos still running carry on.
#ifndef PROGRAMS_LAUNCHER_H
#define PROGRAMS_LAUNCHER_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace launcher {

struct Demo {
  const char* name;
  const char* description;
  const char* controls;
};
constexpr int kDemos = 14;
extern const Demo kDemoList[kDemos];

// The list: rows of kRowHeight pixels from kTop down, across the whole window.
constexpr int kTop = 52;
constexpr int kRowHeight = 36;
constexpr int kPauseMs = 15;

struct Running {
  pid_t pid;
  int demo;
};

struct Model {
  int selected;             // the highlighted row
  int16_t page;             // the page drawn into next
  bool built[kDemos];       // the demo's program exists beside the launcher
  std::string directory;    // where the demos' programs are looked for
  std::string status;       // the bottom line
  uint16_t buttons;         // the mouse buttons of the last frame
  uint16_t mouseX, mouseY;  // the pointer of the last frame
  bool dirty;               // the window needs drawing again
  std::vector<Running> running;
};
extern Model model;

void Start();  // opens the window and looks for the demos
bool Frame();  // one frame; false once Escape or the close box ended the launcher
void End();    // closes the window

// The row (demo index) at a window point, -1 outside the list.
int RowAt(int x, int y);
// Looks again for the demos' programs in model.directory.
void Scan();
// Starts a demo; false (and the status line says why) when it cannot be started. The demo gets
// the launcher's environment without the variables that record, replay or capture a run.
bool Launch(int demo);
// Collects demos that have ended.
void Reap();
// The directory of the running executable.
std::string OwnDirectory();

}  // namespace launcher

#endif  // PROGRAMS_LAUNCHER_H
