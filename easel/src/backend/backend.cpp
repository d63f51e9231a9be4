// The table of backends and the choice among them.
#include "backend/backend.h"

#include <cstdlib>
#include <cstring>

namespace easel {
namespace {

// In order of preference: real windows first, memory only last (always available).
const Backend* const kBackends[] = {
#if EASEL_HAVE_SDL2
    &kSdl2Backend,
#endif
    &kHeadlessBackend,
};

}  // namespace

const Backend* ChooseBackend() {
  const char* wanted = std::getenv("EASEL_BACKEND");
  if (wanted && *wanted) {
    for (const Backend* b : kBackends) {
      if (std::strcmp(b->name, wanted) == 0 && b->Available()) return b;
    }
  }
  for (const Backend* b : kBackends) {
    if (b->Available()) return b;
  }
  return &kHeadlessBackend;
}

}  // namespace easel
