/* The shared library carries the whole internal library; it has no load-time
 * work of its own beyond constructing the instrument table. */
#include "tessok/tessok.h"
