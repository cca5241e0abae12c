#include "core/Tessok_API.h"

// Zero-initialised static storage; the objects are constructed in index order
// when the library is loaded and destroyed in reverse order when it is unloaded.
// Destruction neither disconnects nor closes a socket.
Tessok_API g_apiInstances[kApiInstanceCount];

namespace {
// The revision keyword of the library; its digits make the revision number.
constexpr char kRevisionKeyword[] = "$Revision: 7324 $";
}  // namespace

double Tessok_API::GetAPIRev() {
  int value = 0;
  for (const char* p = kRevisionKeyword; *p != '\0'; ++p) {
    if (*p >= '0' && *p <= '9') value = value * 10 + (*p - '0');
  }
  return static_cast<double>(value);
}
