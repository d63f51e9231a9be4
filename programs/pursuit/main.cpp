#include "pursuit.h"

int main() {
  pursuit::Start();
  while (pursuit::Frame()) {
  }
  pursuit::End();
}
