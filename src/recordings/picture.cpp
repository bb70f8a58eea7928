#include "recordings/picture.h"

#include "engine/session.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>
#include <qcustomplot.h>

namespace picture {

DialogService::FileRequest Request(const QString& initialName)
{
    DialogService::FileRequest r;
    r.title = QStringLiteral("Save Picture");
    r.filter = QStringLiteral("PNG Image (*.png)|*.png|SVG Drawing (*.svg)|*.svg");
    r.filterIndex = 1;
    r.defaultExt = QStringLiteral("png");
    r.suffixByFilter = true;
    r.initialName = initialName;
    return r;
}

bool IsSvg(const QString& fileName)
{
    return QFileInfo(fileName).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0;
}

QString Write(const QString& fileName, QSize size, const QString& title, const std::function<void(QCPPainter&)>& paint)
{
    if (IsSvg(fileName)) {
        // The generator reports no failure of its own: the file is tried first.
        {
            QFile probe(fileName);
            if (!probe.open(QIODevice::WriteOnly))
                return probe.errorString();
        }
        QSvgGenerator svg;
        svg.setFileName(fileName);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(title);
        svg.setDescription(QStringLiteral("Chart saved by ZAV Instrument Interface"));
        QCPPainter p;
        if (!p.begin(&svg))
            return QStringLiteral("the drawing could not be started");
        paint(p);
        p.end();
        return QFileInfo(fileName).size() > 0 ? QString() : QStringLiteral("nothing could be written");
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QCPPainter p(&image);
        paint(p);
    }
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (!image.save(&file, "PNG"))
        return file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("the image could not be encoded");
    return {};
}

QString WriteArea(const QString& fileName, QWidget& chart, const QRect& area, const QString& caption,
                  const QList<LegendEntry>& legend)
{
    const QFontMetrics fm(chart.font());
    const int line = fm.height() + 8;
    int legendWidth = 12;
    for (const LegendEntry& e : legend)
        legendWidth += 30 + fm.horizontalAdvance(e.text) + 24;
    const QSize size(std::max({area.width(), fm.horizontalAdvance(caption) + 24, legendWidth}), area.height() + line * 2);
    return Write(fileName, size, caption, [&](QCPPainter& painter) {
        QPainter& p = painter;
        p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        p.setFont(chart.font());
        p.setPen(Qt::black);
        p.drawText(QRect(0, 0, size.width(), line), Qt::AlignCenter, caption);
        p.save();
        p.translate(0, line);
        chart.render(&p, QPoint(), QRegion(area), QWidget::DrawChildren);
        p.restore();
        int x = 12;
        const int y = line + area.height();
        for (const LegendEntry& e : legend) {
            p.setPen(QPen(e.colour, 2));
            p.drawLine(x, y + line / 2, x + 24, y + line / 2);
            x += 30;
            p.setPen(Qt::black);
            p.drawText(QRect(x, y, fm.horizontalAdvance(e.text) + 4, line), Qt::AlignVCenter | Qt::AlignLeft, e.text);
            x += fm.horizontalAdvance(e.text) + 24;
        }
    });
}

QString MeterIdentity(const Session& s)
{
    if (s.MeterModel == 0 && s.SerialNumber == 0)
        return QStringLiteral("No meter identified");
    return QStringLiteral("Meter model %1, firmware %2, serial %3").arg(s.MeterModel).arg(s.FirmwareVersion).arg(s.SerialNumber);
}

QString SaveWithDialog(DialogService& dialogs, const QString& initialName, const std::function<QString(const QString&)>& write)
{
    const QString name = dialogs.saveFile(Request(initialName));
    if (name.isEmpty())
        return {};
    const QString error = write(name);
    if (error.isEmpty())
        return name;
    dialogs.message(QStringLiteral("The picture could not be saved to %1: %2.").arg(name, error),
                    QStringLiteral("Save Picture"), DialogService::Buttons::OK, DialogService::Icon::Exclamation,
                    QStringLiteral("Choose another folder or file name and save it again."));
    return {};
}

} // namespace picture
