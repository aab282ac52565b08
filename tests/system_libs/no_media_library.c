/* Preloaded into the player, it makes the media library impossible to
   load, as on a system where it is not installed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>

void* dlopen(const char* file, int mode) {
  static void* (*real)(const char*, int);
  if (!real) real = (void* (*)(const char*, int))dlsym(RTLD_NEXT, "dlopen");
  if (file && strstr(file, "libmpv")) return NULL;
  return real(file, mode);
}
