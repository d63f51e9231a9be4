#include "launcher.h"

int main() {
  launcher::Start();
  while (launcher::Frame()) {
  }
  launcher::End();
}
