#include "magfield_a.h"

int main() {
  magfield_a::Start();
  while (magfield_a::Frame()) {
  }
  magfield_a::End();
}
