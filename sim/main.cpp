// tessok-sim: serves one simulated instrument of a known model on
// address:6653 until SIGINT or SIGTERM (usage below, and with --help). Prints
// "serving on <address>:6653" once it is listening, so a script can wait for
// that line.
#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "sim/Models.h"
#include "sim/SimInstrument.h"

namespace {

// The model of the quickstart example: served when no model is given, so a
// bare start reads as a real board rather than as model 0 (the library's
// failure value of the board-ID read).
constexpr std::uint16_t kDefaultModel = 7668;

std::string KnownModelList() {
  std::string list;
  for (std::uint16_t m : tessok::sim::KnownModels()) {
    if (!list.empty()) list += ' ';
    list += std::to_string(m);
  }
  return list;
}

void PrintHelp(const char* program) {
  std::printf(
      "usage: %s <address> [model]\n"
      "       %s -h | --help\n"
      "\n"
      "Serves one simulated instrument on <address>, TCP port %u (the fixed port\n"
      "of the instruments), until SIGINT or SIGTERM. Prints \"serving on\n"
      "<address>:%u\" once it is listening. Registers and EEPROM keep what was\n"
      "written across connections while it runs.\n"
      "\n"
      "  address  dotted IPv4 address to listen on, e.g. 127.0.9.1; each loopback\n"
      "           address 127.x.y.z holds one instrument\n"
      "  model    the board model it reads as, default %u; one of\n"
      "           %s\n"
      "\n"
      "What it models:\n"
      "  - 16 banks of 2048 registers that read back what was last written (0 at\n"
      "    start); register 20 holds the model, register 9 the firmware revision\n"
      "    (123: 12.3), the model's option registers a board with no options\n"
      "  - a 128 KiB EEPROM behind registers 10 and 11 and the page commands that\n"
      "    holds at start the default output-level calibration tables for each\n"
      "    lane of the model, so a level goes out as its own code without a reset\n"
      "    (the 7746 keeps them erased: its levels go out as given); every other\n"
      "    double (the stored settings) reads as NaN until written\n"
      "  - the sub-register window 0x200/0x201 (the signal processor reads ready,\n"
      "    0x104B), the chip-register window 0x21F/0x220, the clock-chip writes\n"
      "    of 0x106/0x107 and the sampling-point read-back 0x30C\n"
      "  - module-bus memory that reads back what was written; every other\n"
      "    extended command is answered with zeros\n"
      "What it does not model: no signal flows. The pattern checker never locks\n"
      "(its state register reads what was last written, 0 at start), the error\n"
      "counters and elapsed time never count, result blocks and bathtub replies\n"
      "are zeros, the module-cage register windows are off, and nothing is kept\n"
      "once it stops.\n",
      program, program, static_cast<unsigned>(tessok::sim::kPort), static_cast<unsigned>(tessok::sim::kPort),
      static_cast<unsigned>(kDefaultModel), KnownModelList().c_str());
}

int Usage(const char* program) {
  std::fprintf(stderr, "usage: %s <address> [model]   (%s --help: what it serves)\n", program, program);
  return 2;
}

// The model named by text: a decimal number with a personality.
std::optional<std::uint16_t> ParseModel(const char* text) {
  char* end = nullptr;
  const unsigned long model = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || model > 0xFFFF) return std::nullopt;
  const std::vector<std::uint16_t> known = tessok::sim::KnownModels();
  if (std::find(known.begin(), known.end(), model) == known.end()) return std::nullopt;
  return static_cast<std::uint16_t>(model);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    PrintHelp(argv[0]);
    return 0;
  }
  if (argc < 2 || argc > 3 || argv[1][0] == '-') return Usage(argv[0]);
  const std::string address = argv[1];
  std::uint16_t model = kDefaultModel;
  if (argc == 3) {
    const std::optional<std::uint16_t> named = ParseModel(argv[2]);
    if (!named) {
      std::fprintf(stderr, "%s: unknown model \"%s\"; known models: %s\n", argv[0], argv[2], KnownModelList().c_str());
      return 2;
    }
    model = *named;
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
    tessok::sim::ApplyModel(instrument, model);
    tessok::sim::SeedDefaultCalibration(instrument, model);
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
