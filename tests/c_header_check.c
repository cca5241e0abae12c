/* The public header compiles as C and its functions link from C. */
#include "tessok/tessok.h"

double tessok_c_header_revision(void) { return APIGetAPIRev(); }

int tessok_c_header_unconnected_read(void) {
  uint16_t value = 0;
  bool configured = APIConfigureApplication(7, "./clk/", "", "", 0, 0);
  return (int)APIAccessBoardRegister(7, 0, 0, 20, &value) + (configured ? 10 : 0);
}

/* The header's constants are C constant expressions: they size arrays and
 * label cases (two status items of one number would not compile). The calls
 * go to the last index, never connected, so every exchange fails at once; the
 * result counts the calls that reported failure. */
int tessok_c_header_constants(void) {
  const uint8_t last = TESSOK_INSTANCE_COUNT - 1;
  char ip[TESSOK_IP_TEXT_BYTES];
  double x[TESSOK_HISTOGRAM_BINS];
  double counts[TESSOK_HISTOGRAM_BINS];
  uint16_t word = 0;
  enum tessok_status_item item = TESSOK_ITEM_COUNT;
  int failed = 0;
  switch (item) {
    case TESSOK_ITEM_LINE_RATE_MODE:
    case TESSOK_ITEM_LINE_RATE:
    case TESSOK_ITEM_CLOCK_OUTPUT:
    case TESSOK_ITEM_PATTERN:
    case TESSOK_ITEM_PATTERN_P4:
    case TESSOK_ITEM_OUTPUT_LEVEL:
    case TESSOK_ITEM_PATTERN_P3:
    case TESSOK_ITEM_PATTERN_P5:
    case TESSOK_ITEM_PRE_EMPHASIS:
    case TESSOK_ITEM_POST_EMPHASIS:
    case TESSOK_ITEM_ERROR_INSERTION:
    case TESSOK_ITEM_CTLE:
    case TESSOK_ITEM_INNER_EYE_LEVEL:
    case TESSOK_ITEM_RATE_FLAG_32:
    case TESSOK_ITEM_RATE_FLAG_33:
    case TESSOK_ITEM_RATE_FLAG_34:
    case TESSOK_ITEM_RATE_PAM4:
    case TESSOK_ITEM_RATE_RANGE_BANK:
    case TESSOK_ITEM_RATE_FLAG_44:
    case TESSOK_ITEM_MAIN_TAP:
    case TESSOK_ITEM_OUTER_EYE_LEVEL:
    case TESSOK_ITEM_TAP0:
    case TESSOK_ITEM_DSP_MODE: return -1;
    case TESSOK_ITEM_COUNT: break;
  }
  failed += APIreadIPConfiguration(last, ip) == 0;
  failed += APIGetPam4Histogram(last, TESSOK_MAX_CHANNELS - 1, x, counts) == 0;
  failed += APIAccessBoardRegister(last, TESSOK_READ, 0, 20, &word) == 0;
  failed += apiBERClearErrorCounters(last, TESSOK_ALL_CHANNELS) == 0;
  failed += APIRealTimeBEREnable(last, TESSOK_BER_START) == 0;
  failed += APISetPRBSPattern(last, TESSOK_MAX_CHANNELS, TESSOK_PATTERN_USER, 0, 0, 0) == 0;
  failed += APIWriteStatusToEEProm(last, 0, (int16_t)item, 1.0) == 0;
  return failed;
}
