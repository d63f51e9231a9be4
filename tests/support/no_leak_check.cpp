// Linked into the OpenGL tests of the AddressSanitizer build: the Mesa drivers keep
// allocations the leak checker would report, and unwinding through them fully is too slow.
// The same library code is leak-checked through the headless tests.
extern "C" const char* __asan_default_options() {
  return "detect_leaks=0";
}
