#include <csignal>
#include <cstdio>

#include "sim/SimInstrument.h"

int main() { return 0; }
