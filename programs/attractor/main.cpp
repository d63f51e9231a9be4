#include "attractor.h"

int main() {
  attractor::Start();
  while (attractor::Frame()) {
  }
  attractor::End();
}
