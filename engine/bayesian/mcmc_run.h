#pragma once
// "Markov chain sampling of the posterior": the command's dialogue, the
// chains side by side with their progress and Interrupt, the report
// (ReportKind::Chains), the plots and the draws file.

#include <string>

#include "engine/state/command_context.h"

namespace estimetrix {

class Desktop;
struct ChainDrawTable;

inline constexpr const char* kMcmcTitle = "Markov chain sampling of the posterior";
inline constexpr const char* kMcmcPairsTitle = "Markov chain pairs plot";
inline constexpr const char* kMcmcSaveTitle = "Save Markov chain draws in...";
inline constexpr const char* kMcmcSaveQuestionTitle = "Markov chain draws";

// Questions of the dialogue, by a part of their text (the runner answers
// them from its options).
inline constexpr const char* kMcmcDrawsPrompt = "Number of kept draws per chain:";
inline constexpr const char* kMcmcChainsPrompt = "Number of chains:";
inline constexpr const char* kMcmcWarmUpPrompt = "Number of warm-up draws per chain:";
inline constexpr const char* kMcmcThinPrompt = "Keep one draw in every:";
inline constexpr const char* kMcmcProposalPrompt = "Base the proposal on covariance grid";
inline constexpr const char* kMcmcSeedPrompt = "Seed of the random draws";

// The whole command. Values and Steps are left as they were; the draws and
// the report stay in the workbench (chainDraws, chainReport).
CommandOutcome MarkovChainSampling(CommandContext& ctx);

// The save dialogue of the draws file and the safe save. False when
// cancelled or when the write failed (reported).
bool SaveChainDraws(Desktop& desktop, const ChainDrawTable& table);

}  // namespace estimetrix
