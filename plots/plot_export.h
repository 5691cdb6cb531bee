#pragma once
// Writing a plot to an image file and its data to a text file. Every plot
// window and the runner's plot files go through these.

#include <QString>
#include <optional>
#include <string>

class QCustomPlot;

namespace estimetrix {

enum class ImageFormat { Png, Pdf, Svg };

// The format named by the file's extension (any case), or nothing.
std::optional<ImageFormat> ImageFormatOf(const QString& path);

// Renders the plot at width x height pixels (points for PDF) into `path`,
// in the format its extension names. The target is replaced only when the
// whole file has been written; on failure `error` says why and any old file
// is left as it was.
bool RenderPlot(QCustomPlot& plot, const QString& path, int width, int height, QString* error);

// Writes `text` to `path` the same way (replaced only when complete).
bool WriteTextFile(const QString& path, const std::string& text, QString* error);

}  // namespace estimetrix
