#pragma once
// The minimization log (.exl): opened and closed from the algorithm data
// editor, written by Simplex and Marquardt runs while open, and kept open
// between runs until the editor closes it or the program ends.

#include <fstream>
#include <string>

namespace estimetrix {

class MinimizationLog {
 public:
  // Creates the file anew (replacing an old one). False when it cannot be opened.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_.is_open(); }
  const std::string& Path() const { return path_; }

  // Appends text as it stands; "\n" becomes CR LF. Flushed at once so the log
  // survives a crash of the computation that writes it.
  void Write(const std::string& text);
  // Appends text and a line end.
  void WriteLine(const std::string& text) { Write(text + "\n"); }

 private:
  std::ofstream file_;
  std::string path_;
};

}  // namespace estimetrix
