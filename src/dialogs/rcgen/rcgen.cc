// rcgen: writes the library's resource script from its dialog tables.
// A host tool, built and run on Linux whenever the tables change:
//   g++ -std=c++17 -Iinclude -Isrc src/dialogs/rcgen/rcgen.cc src/dialogs/resources.cc -o rcgen
//   ./rcgen src/dialogs/vkmsg.rc
// The test program of the dialogs checks that the committed script is current.
#include <cstdio>

#include "dialogs/rcgen/rcscript.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rcgen OUTPUT.rc\n");
    return 2;
  }
  std::string rc = vkrc::ResourceScript();
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  bool ok = std::fwrite(rc.data(), 1, rc.size(), f) == rc.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "rcgen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
