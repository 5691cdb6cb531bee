#pragma once
// Plain-text files as this program reads and writes them: CR LF line ends on
// writing, CR LF, LF or a lone CR alike on reading, and saves that never
// leave a half written file behind.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace estimetrix {

// The largest file ReadTextLines accepts: 256 MiB. Every file this program
// reads (algorithm, data and set-up files) is a few hundred kilobytes at
// most, so anything larger is a wrong choice of file; refusing it up front
// keeps a mistaken pick of a huge log or disk image from exhausting memory.
inline constexpr std::uint64_t kMaxTextFileBytes = std::uint64_t{256} * 1024 * 1024;

// Converts "\n" line ends to CR LF (a "\r\n" already present is kept).
std::string ToCrLf(const std::string& text);

// Writes the whole text to a temporary file beside the target, then renames
// it over the target, so the target holds either the old or the new text.
// - A symbolic link is followed to its final target (through a chain of
//   links); the links stay links and the target gets the new text.
// - An existing target keeps its permission bits and, where the process may
//   set them, its owner and group. A new file gets 0666 less the umask.
// - A target that exists but is not a regular file (folder, pipe, device,
//   socket) is refused and nothing is written.
// - An existing target the user may not write is refused and left as it is:
//   one without any write permission bit (made read-only on purpose; refused
//   even for the superuser) and one the system says this process may not
//   write.
// - The temporary file has a short name (".est-" and six characters) in the
//   target's folder, so long target names work; it is flushed to disk before
//   the rename and removed again on any failure.
// On failure returns false with a readable reason in `error`, and the old
// file is left as it was.
bool SaveTextFileAtomically(const std::string& path, const std::string& text, std::string& error);

// Reads a text file into lines without their line ends. CR LF, LF and a lone
// CR each end one line ("a\r\r\nb" is "a", "", "b"); a final line end does
// not produce an extra empty line. Returns nullopt with a reason in `error`
// when the file is missing or cannot be opened (the system's reason), is a
// folder, is not a regular file (pipe, device, socket: refused before
// opening, so a pipe never blocks), is larger than kMaxTextFileBytes, or
// cannot be read.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& path, std::string& error);

// Drops a UTF-8 byte-order mark from the start of the first line, as editors
// that save UTF-8 may put one there. True when there was one.
bool DropByteOrderMark(std::vector<std::string>& lines);

// The text with control characters other than line feed and tab shown as
// "\x1B" and the like, so a message quoting a file's content cannot move the
// cursor, clear a terminal or hide what it quotes.
std::string EscapeControlCharacters(const std::string& text);

// True when any of the lines holds a NUL byte: a sign that a binary file was
// chosen where a text file was expected.
bool ContainsNulBytes(const std::vector<std::string>& lines);

// The part of a path after its last "/" or "\" (the whole path without one).
std::string BareFileName(const std::string& path);

}  // namespace estimetrix
