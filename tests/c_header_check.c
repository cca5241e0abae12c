/* The public header compiles as C and its functions link from C. */
#include "tessok/tessok.h"

double tessok_c_header_revision(void) { return APIGetAPIRev(); }

int tessok_c_header_unconnected_read(void) {
  uint16_t value = 0;
  bool configured = APIConfigureApplication(7, "./clk/", "", "", 0, 0);
  return (int)APIAccessBoardRegister(7, 0, 0, 20, &value) + (configured ? 10 : 0);
}
