#pragma once
// The covariance report (one fixed-column text built from the stored grid
// results) and the covariance file (.cov), which is that text saved behind a
// line naming the file. The ranking window reads covariance files back by
// line and column, so the layout is a file format: file lines 5 to N+4 hold
// the parameter values (columns 7-20) and lines N+20 onward the standard
// errors (parameter number in columns 1-3, grid g's SE in the 14 columns
// starting at column 25 + 18 (g - 1)).

#include <optional>
#include <string>

namespace estimetrix {

class Desktop;
struct DateTime;
struct Workbench;

// The two-sided tail probability of Student's t with 999 degrees of freedom
// at t >= 0, rounded as the report prints it. nullopt stands for "<0.0001".
std::optional<double> TwoSidedTProbability(float t);

// A probability as the report prints it: "#0.0000", or "<0.0001".
std::string ProbabilityText(const std::optional<double>& probability);

// Builds the report from wb.covariance, stores it in CovarianceReport and
// returns it. Lines end with "\n" (CR LF when saved). Yields after each line
// of the per-parameter tables.
std::string BuildCovarianceReport(Workbench& wb, Desktop& desktop);

// "Originally saved with the file name: " + path, then an empty line.
std::string CovarianceFileHeader(const std::string& path);

// The save dialogue's filter, and its default name "mmddhhmm.cov".
std::string CovarianceFileFilter(const std::string& algorithmFileName);
std::string DefaultCovarianceFileName(const DateTime& now);

// "Save &covariance results as...": asks for a path and saves the header
// followed by `windowText`. On success the header is put in front of
// `windowText` (so a later save carries both) and the path is returned. A
// cancelled dialogue or a failed write (reported to the user) changes nothing.
std::optional<std::string> SaveCovarianceFile(Workbench& wb, Desktop& desktop,
                                              std::string& windowText);

}  // namespace estimetrix
