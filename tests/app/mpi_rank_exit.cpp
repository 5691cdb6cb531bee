// estimetrix-mpi whose rank 2 leaves without a word when its first block of
// points arrives, as a rank does that is killed or runs out of memory: the
// run must end with a message and a non-zero exit status, not hang.

#include "app/mpi/mpi_runner.h"

int main(int argc, char** argv) {
  estimetrix::MpiRunSettings settings;
  settings.rankExitingAtFirstBlock = 2;
  return estimetrix::RunMpi(argc, argv, settings);
}
