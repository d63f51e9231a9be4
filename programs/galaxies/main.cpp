#include "galaxies.h"

int main() {
  galaxies::Start();
  while (galaxies::Frame()) {
  }
  galaxies::End();
}
