/* Connects to an instrument, identifies it and reads a register.
 * Usage: quickstart [ip-address]   (default 127.0.0.1) */
#include <stdio.h>

#include "tessok/tessok.h"

int main(int argc, char** argv) {
  const char* ip = argc > 1 ? argv[1] : "127.0.0.1";
  uint16_t value = 0;
  printf("tessok library revision %.0f\n", APIGetAPIRev());
  if (APIConnect(0, ip) != 1) {
    fprintf(stderr, "cannot connect to %s\n", ip);
    return 1;
  }
  printf("board model %d\n", APIReadBoardID(0));
  printf("firmware revision %.1f\n", APIReadFirmwareRevision(0));
  if (APIAccessBoardRegister(0, 0, 0, 20, &value) != 1) {
    fprintf(stderr, "register read failed\n");
    APIDisconnect(0);
    return 1;
  }
  printf("register 20 of bank 0 reads %u\n", (unsigned)value);
  APIDisconnect(0);
  return 0;
}
