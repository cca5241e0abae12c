// tessok-sim <address> [model]: serves one simulated instrument on
// address:6653, with the model's personality when a model number is given,
// until SIGINT or SIGTERM. Prints "serving on <address>:6653"
// once it is listening, so a script can wait for that line.
#include <pthread.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "sim/Models.h"
#include "sim/SimInstrument.h"

namespace {

int Usage(const char* program) {
  std::fprintf(stderr, "usage: %s <address> [model]\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return Usage(argv[0]);
  const std::string address = argv[1];
  unsigned long model = 0;
  if (argc == 3) {
    char* end = nullptr;
    model = std::strtoul(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || model > 0xFFFF) return Usage(argv[0]);
  }

  // Block the signals before the server thread starts, so it inherits the mask
  // and only sigwait below receives them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
    std::fprintf(stderr, "tessok-sim: cannot block signals\n");
    return 1;
  }

  try {
    tessok::sim::SimInstrument instrument(address);
    // Without a model the instrument is the plain register file.
    if (argc == 3) tessok::sim::ApplyModel(instrument, static_cast<std::uint16_t>(model));
    std::printf("serving on %s:%u\n", address.c_str(), static_cast<unsigned>(tessok::sim::kPort));
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    instrument.Stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessok-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
