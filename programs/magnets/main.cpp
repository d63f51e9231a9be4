#include "magnets.h"

int main() {
  magnets::Start();
  while (magnets::Frame()) {
  }
  magnets::End();
}
