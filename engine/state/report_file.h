#pragma once
// Saving a report window's text as a report file: every kind has its
// caption, save button and save dialogue; the saved text starts with
// "Originally saved with the file name: " + path and an empty line.

#include <optional>
#include <string>

#include "engine/state/report_views.h"
#include "platform/desktop.h"

namespace estimetrix {

struct Workbench;

struct ReportWindowSettings {
  std::string caption;        // the window's title
  std::string saveButton;     // the save button's caption
  FileDialogRequest dialog;   // the save dialogue, its proposed name filled in
  std::string failureTitle;   // the title of the message when writing fails
};

// The window and save dialogue of a report kind. `now` gives the eight-digit
// default names.
ReportWindowSettings ReportSettings(ReportKind kind, const Workbench& wb, const DateTime& now);

// "Originally saved with the file name: " + path, then an empty line.
std::string SavedReportHeader(const std::string& path);

// Asks for a path with `request` and writes the header followed by
// `windowText` safely (CR LF line ends). On success the header is put in
// front of `windowText` (the window shows it too) and the path is returned.
// A cancelled dialogue or a failed write (reported under `failureTitle`)
// changes nothing.
std::optional<std::string> SaveReportFile(Desktop& desktop, const FileDialogRequest& request,
                                          const std::string& failureTitle,
                                          std::string& windowText);

// The same with the dialogue of `kind`.
std::optional<std::string> SaveReport(ReportKind kind, const Workbench& wb, Desktop& desktop,
                                      std::string& windowText);

// Writes the header and `windowText` to `path` without a dialogue (the
// runner's save commands). False with `error` set when the write fails.
bool WriteReportFile(const std::string& path, std::string& windowText, std::string& error);

}  // namespace estimetrix
