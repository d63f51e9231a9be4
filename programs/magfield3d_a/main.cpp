#include "magfield3d_a.h"

int main() {
  magfield3d_a::Start();
  while (magfield3d_a::Frame()) {
  }
  magfield3d_a::End();
}
