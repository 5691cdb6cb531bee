// estimetrix-batch: the workbench without windows. See BatchUsage for the
// options and commands.

#include <iostream>
#include <string>
#include <vector>

#include "app/batch_runner.h"

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  return estimetrix::RunBatch(estimetrix::AllBatchAreas(), words, std::cout, std::cerr);
}
