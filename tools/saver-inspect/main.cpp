// saver-inspect: shows what a saver file carries.
#include <cstdio>
#include <cstring>

#include "compose.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--compose") == 0) return saver::RunCompose(argc, argv);
  std::fputs("saver-inspect: reading savers is not built yet\n", stderr);
  return 2;
}
