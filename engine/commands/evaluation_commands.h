#pragma once
// "E&valuate single model parameter estimates": the chooser of evaluations
// (frmParEvals) and what its buttons run: Bayesian posteriors and likelihood
// profiles of one parameter.

#include "engine/state/command_context.h"

namespace estimetrix {

inline constexpr const char* kEvaluationChooserCaption = "Evaluation of estimates";
inline constexpr const char* kPosteriorButtonCaption = "&Bayesian posterior (BP) distributions";
inline constexpr const char* kProfileButtonCaption =
    "&Maximium likelihood (ML) confidence distributions";
inline constexpr const char* kChainsButtonCaption = "Markov chain sampling of the posterior";
inline constexpr const char* kChooserCancelCaption = "&Cancel";

// The chooser's buttons.
enum class EvaluationChoice { Posterior, Profile, Chains, Cancel };

// The menu command: the computation shell, then the chooser (frmParEvals)
// opens without blocking.
CommandOutcome ParameterEvaluationCommand(CommandContext& ctx);

// What a chooser button runs: the posterior, the profile or the chains inside the
// computation shell, or nothing (Cancel). The menu form comes back afterwards.
CommandOutcome RunEvaluationChoice(CommandContext& ctx, EvaluationChoice choice);

}  // namespace estimetrix
