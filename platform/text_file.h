#pragma once
// Plain-text files as this program reads and writes them: CR LF line ends on
// writing, CR LF or LF alike on reading, and saves that never leave a half
// written file behind.

#include <optional>
#include <string>
#include <vector>

namespace estimetrix {

// Converts "\n" line ends to CR LF (a "\r\n" already present is kept).
std::string ToCrLf(const std::string& text);

// Writes the whole text to a temporary file beside `path`, then renames it
// over `path`. On failure returns false with a readable reason in `error`,
// and the old file is left as it was.
bool SaveTextFileAtomically(const std::string& path, const std::string& text,
                            std::string& error);

// Reads a text file into lines without their line ends (CR LF or LF). A final
// line end does not produce an extra empty line. nullopt with a reason in
// `error` when the file cannot be opened or read.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& path,
                                                      std::string& error);

// The part of a path after its last "/" or "\" (the whole path without one).
std::string BareFileName(const std::string& path);

}  // namespace estimetrix
