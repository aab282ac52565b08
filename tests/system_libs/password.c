/* Test stand-in for PASSWORD.CPL: records each call and answers with
   SAVER_TEST_PASSWORD_RESULT (1, "correct", when unset). */
#include <inttypes.h>
#include <stdint.h>
#include <stdlib.h>

#include "call_log.h"

int32_t VerifyScreenSavePwd(uint64_t window) {
  LogCall("VerifyScreenSavePwd %" PRIu64, window);
  const char* result = getenv("SAVER_TEST_PASSWORD_RESULT");
  return (result && *result) ? (int32_t)strtol(result, NULL, 10) : 1;
}
