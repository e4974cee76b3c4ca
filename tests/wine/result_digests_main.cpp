// Prints the native library's result digests, which the Windows suite compares with the DLL's.
#include <cstdio>

#include "wine/result_digests.h"

int main() {
  for (const std::string& line : ormi::test::ResultDigests()) std::puts(line.c_str());
  return 0;
}
