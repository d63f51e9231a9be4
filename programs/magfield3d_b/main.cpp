#include "magfield3d_b.h"

int main() {
  magfield3d_b::Start();
  while (magfield3d_b::Frame()) {
  }
  magfield3d_b::End();
}
