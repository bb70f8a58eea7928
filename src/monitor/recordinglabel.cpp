#include "monitor/recordinglabel.h"

#include "monitor/datalogfile.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <algorithm>

namespace recordinglabel {

void Show(QLabel& label, const DataLogFile& log, bool recording)
{
    label.setVisible(recording);
    if (!recording)
        return;
    const int rows = log.RowsWritten();
    const QString tail = rows == 1 ? QStringLiteral(": 1 row written") : QStringLiteral(": %1 rows written").arg(rows);
    const QString head = QStringLiteral("Recording to ");
    const QFontMetrics metrics = label.fontMetrics();
    const int room = label.contentsRect().width() - metrics.horizontalAdvance(head + tail) - 2;
    const QString name = metrics.elidedText(QFileInfo(log.FileName()).fileName(), Qt::ElideMiddle, std::max(room, 0));
    label.setText(head + name + tail);
    label.setToolTip(QDir::toNativeSeparators(log.FileName()));
}

} // namespace recordinglabel
