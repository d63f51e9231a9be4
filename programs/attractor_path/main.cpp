#include "attractor_path.h"

int main() {
  attractor_path::Start();
  while (attractor_path::Frame()) {
  }
  attractor_path::End();
}
