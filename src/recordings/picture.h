#pragma once
// Pictures of charts for reports: PNG or SVG by the file name's extension, chosen in a save
// dialog whose filter sets the extension. A picture carries a caption above the chart (the file
// or the meter it shows) and the legend of its traces.

#include "platform/dialogservice.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class QCPPainter;
class QWidget;
class Session;

namespace picture {

// The save dialog of a picture: PNG first, SVG second; the name offered is initialName.
DialogService::FileRequest Request(const QString& initialName);
bool IsSvg(const QString& fileName);

// Writes a picture of size pixels: paint draws it. Empty when written, otherwise why not.
QString Write(const QString& fileName, QSize size, const QString& title,
              const std::function<void(QCPPainter&)>& paint);

// A live chart drawn by its own widgets: the caption above it, the area of `window` that holds
// the chart as it shows, and a legend entry per trace under it (text and colour).
struct LegendEntry {
    QString text;
    QColor colour;
};
QString WriteArea(const QString& fileName, QWidget& window, const QRect& area, const QString& caption,
                  const QList<LegendEntry>& legend);

// "Meter model 12, firmware 3, serial 4567", or that no meter has been identified.
QString MeterIdentity(const Session& session);

// Asks for the file and writes it with write(fileName) (empty on success, else why not); the
// outcome is told in a message box when writing failed. The name written, or empty.
QString SaveWithDialog(DialogService& dialogs, const QString& initialName,
                       const std::function<QString(const QString&)>& write);

} // namespace picture
