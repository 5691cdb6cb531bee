#pragma once
// The minimization log (.exl): opened and closed from the algorithm data
// editor, written by Simplex and Marquardt runs while open, and kept open
// between runs until the editor closes it or the program ends.

#include <fstream>
#include <string>

namespace estimetrix {

class MinimizationLog {
 public:
  // Creates the file anew (replacing an old one). False when it cannot be
  // opened, with the reason in Error(): a folder, a pipe or a socket is
  // refused before opening (opening a pipe would wait for a reader). A
  // device such as /dev/null is accepted.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_.is_open(); }
  const std::string& Path() const { return path_; }

  // Appends text as it stands; "\n" becomes CR LF. Flushed at once so the log
  // survives a crash of the computation that writes it. A write that fails
  // (a full disk) is noted in WriteFailed() and Error(); later writes are
  // skipped until the log is opened again.
  void Write(const std::string& text);
  // Appends text and a line end.
  void WriteLine(const std::string& text) { Write(text + "\n"); }

  bool WriteFailed() const { return writeFailed_; }
  // Why the last Open or Write failed ("" when none did).
  const std::string& Error() const { return error_; }

 private:
  std::ofstream file_;
  std::string path_;
  std::string error_;
  bool writeFailed_ = false;
};

}  // namespace estimetrix
