#include "lightning_b.h"

int main() {
  lightning_b::Start();
  while (lightning_b::Frame()) {
  }
  lightning_b::End();
}
