/* Loads the library (its 32 instrument objects are constructed at load), calls
 * one function, and prints the resident set size in KiB from /proc/self/status. */
#include <stdio.h>
#include <string.h>

#include "tessok/tessok.h"

int main(void) {
  char line[256];
  long rss = -1;
  FILE* f;
  if (APIGetAPIRev() != 7324.0) return 2;
  f = fopen("/proc/self/status", "r");
  if (f == NULL) return 3;
  while (fgets(line, sizeof line, f) != NULL) {
    if (strncmp(line, "VmRSS:", 6) == 0) sscanf(line + 6, "%ld", &rss);
  }
  fclose(f);
  printf("%ld\n", rss);
  return rss < 0 ? 4 : 0;
}
