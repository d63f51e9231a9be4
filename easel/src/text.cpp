// Text output. Not built yet: the hooks EaselOpen and EaselClose call.
#include "text.h"

namespace easel::text {

bool InstallStandardFamilies() { return true; }
void SetDefaults() {}
void Release() {}

}  // namespace easel::text
