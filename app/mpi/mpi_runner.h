#pragma once
// estimetrix-mpi: the runner over MPI ranks. Every rank reads the command
// line and sets up the same model; rank 0 then runs the commands exactly as
// estimetrix-batch does (files, questions, printing), and hands large
// batches of independent points to the other ranks, which only evaluate.

#include "app/batch_runner.h"

namespace estimetrix {

struct MpiRunSettings {
  PlotWriterFactory plotWriter;  // rank 0's --plots writer
  // For the test of a rank that dies: this rank leaves without a word when
  // its first block arrives (-1: none).
  int rankExitingAtFirstBlock = -1;
};

// The runner's options for the ranks: --spread-min, --progress.
BatchArea MpiBatchArea();

// Runs the whole program, MPI_Init to MPI_Finalize; returns the exit status.
int RunMpi(int argc, char** argv, const MpiRunSettings& settings);

}  // namespace estimetrix
