#include "blackhole.h"

int main() {
  blackhole::Start();
  while (blackhole::Frame()) {
  }
  blackhole::End();
}
