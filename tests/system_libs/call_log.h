/* Shared by the test password libraries: appends one line describing a call
   to the file named by SAVER_TEST_LIBRARY_LOG (nothing when it is unset). */
#pragma once
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

static void LogCall(const char* format, ...) {
  const char* path = getenv("SAVER_TEST_LIBRARY_LOG");
  if (!path || !*path) return;
  FILE* f = fopen(path, "a");
  if (!f) return;
  va_list args;
  va_start(args, format);
  vfprintf(f, format, args);
  va_end(args);
  fputc('\n', f);
  fclose(f);
}
