#include "plots/plot_export.h"

#include <qcustomplot.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSvgGenerator>
#include <filesystem>
#include <system_error>

namespace estimetrix {

std::optional<ImageFormat> ImageFormatOf(const QString& path) {
  QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == "png") return ImageFormat::Png;
  if (suffix == "pdf") return ImageFormat::Pdf;
  if (suffix == "svg") return ImageFormat::Svg;
  return std::nullopt;
}

namespace {

bool RenderSvg(QCustomPlot& plot, const QString& path, int width, int height) {
  QSvgGenerator generator;
  generator.setFileName(path);
  generator.setSize(QSize(width, height));
  generator.setViewBox(QRect(0, 0, width, height));
  generator.setTitle(plot.windowTitle());
  QCPPainter painter;
  if (!painter.begin(&generator)) return false;
  plot.toPainter(&painter, width, height);
  return painter.end();
}

}  // namespace

bool RenderPlot(QCustomPlot& plot, const QString& path, int width, int height, QString* error) {
  std::optional<ImageFormat> format = ImageFormatOf(path);
  if (!format) {
    if (error) *error = "the file name must end in .png, .pdf or .svg";
    return false;
  }
  // Draw into a file beside the target, then put it in the target's place.
  QString partial = path + ".part";
  {
    QFile probe(partial);
    if (!probe.open(QIODevice::WriteOnly)) {
      if (error) *error = probe.errorString();
      return false;
    }
  }
  bool written = false;
  switch (*format) {
    case ImageFormat::Png: written = plot.savePng(partial, width, height); break;
    case ImageFormat::Pdf: written = plot.savePdf(partial, width, height); break;
    case ImageFormat::Svg: written = RenderSvg(plot, partial, width, height); break;
  }
  if (!written || QFileInfo(partial).size() == 0) {
    QFile::remove(partial);
    if (error) *error = "the plot could not be drawn into the file";
    return false;
  }
  // A rename over the old file replaces it in one step.
  std::error_code failure;
  std::filesystem::rename(QFile::encodeName(partial).toStdString(),
                          QFile::encodeName(path).toStdString(), failure);
  if (failure) {
    QFile::remove(partial);
    if (error) *error = QString::fromStdString(failure.message());
    return false;
  }
  return true;
}

bool WriteTextFile(const QString& path, const std::string& text, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  file.write(text.data(), static_cast<qint64>(text.size()));
  if (!file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace estimetrix
