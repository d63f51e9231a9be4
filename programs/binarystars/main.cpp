#include "binarystars.h"

int main() {
  binarystars::Start();
  while (binarystars::Frame()) {
  }
  binarystars::End();
}
