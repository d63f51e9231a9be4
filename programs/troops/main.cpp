#include "troops.h"

int main() {
  troops::Start();
  while (troops::Frame()) {
  }
  troops::End();
}
