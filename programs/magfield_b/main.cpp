#include "magfield_b.h"

int main() {
  magfield_b::Start();
  while (magfield_b::Frame()) {
  }
  magfield_b::End();
}
