// Entry point of tvcpix-cli: a Qt core application (for the image plugins) around RunCli.
#include <QCoreApplication>
#include <iostream>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  // Qt may take its own options out of argc/argv; the tool must see the command line as given.
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  int qt_argc = argc;
  QCoreApplication app(qt_argc, argv);
  return tvcpix::RunCli(argc, args.data(), std::cout, std::cerr);
}
