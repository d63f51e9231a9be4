#include "lightning_a.h"

int main() {
  lightning_a::Start();
  while (lightning_a::Frame()) {
  }
  lightning_a::End();
}
