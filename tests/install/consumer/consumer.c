/* A program outside the project that uses an installed library: it must
 * compile against the installed header, link the installed library and find
 * the library revision. */
#include <stdio.h>

#include "tessok/tessok.h"

int main(void) {
  double rev = APIGetAPIRev();
  printf("tessok revision %.0f\n", rev);
  return rev == 7324.0 ? 0 : 1;
}
