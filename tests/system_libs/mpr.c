/* Test stand-in for MPR.DLL: records each password change request. */
#include <inttypes.h>
#include <stdint.h>

#include "call_log.h"

uint32_t PwdChangePasswordA(const char* provider, uint64_t parent, uint32_t reserved1,
                            uint32_t reserved2) {
  LogCall("PwdChangePasswordA %s %" PRIu64 " %" PRIu32 " %" PRIu32, provider ? provider : "(null)",
          parent, reserved1, reserved2);
  return 0;
}
