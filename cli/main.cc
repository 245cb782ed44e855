// Entry point of tvcpix-cli. It starts without Qt: Qt's image reader is loaded only for a
// picture the direct decoders leave to it.
#include <iostream>

#include "cli/cli.h"
#include "cli/interrupt.h"

int main(int argc, char** argv) {
  tvcpix::EndCleanlyOnSignals();  // before any thread starts, so every thread blocks them
  tvcpix::HoldWritesFromEnvironment();
  return tvcpix::RunCli(argc, argv, std::cout, std::cerr);
}
