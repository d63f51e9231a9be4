// Opens and closes a window many times in one process and reports what is left behind:
// threads, file descriptors and resident memory. Exit status 1 when anything grew.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "easel/easel.h"

namespace {

int CountEntries(const char* dir) {
  int n = 0;
  if (DIR* d = opendir(dir)) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

bool Cycle() {
  int16_t driver = 3, mode = 6;
  EaselOpen(driver, mode, "CYCLES");
  if (EaselResult() != 0) return false;
  EaselClear();
  EaselCircle(400, 300, 100);
  EaselSetShowPage(0);
  EaselClose();
  return EaselResult() == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 200;
  // A few warm-up cycles let the window system's libraries make their one-time allocations.
  for (int i = 0; i < 5; ++i) {
    if (!Cycle()) return 2;
  }
  const int threads = CountEntries("/proc/self/task"), fds = CountEntries("/proc/self/fd");
  const long rss = ResidentKb();
  for (int i = 0; i < cycles; ++i) {
    if (!Cycle()) {
      std::printf("cycle %d failed with %d\n", i, EaselResult());
      return 2;
    }
  }
  const int threadsAfter = CountEntries("/proc/self/task"),
            fdsAfter = CountEntries("/proc/self/fd");
  const long rssAfter = ResidentKb();
  std::printf("%s: %d cycles; threads %d -> %d, fds %d -> %d, rss %ld -> %ld kB\n",
              EaselBackendName(), cycles, threads, threadsAfter, fds, fdsAfter, rss, rssAfter);
  const bool leaked = threadsAfter > threads || fdsAfter > fds || rssAfter - rss > 8192;
  return leaked ? 1 : 0;
}
