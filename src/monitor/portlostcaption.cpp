#include "monitor/portlostcaption.h"

#include "engine/session.h"

#include <QPointer>
#include <QWidget>

namespace portlostcaption {

void Follow(Session& session, QWidget& window)
{
    const QString plain = window.windowTitle();
    QPointer<QWidget> w(&window);
    session.onLink(&window, [w, plain](frmCDR& link) {
        QObject::connect(&link, &frmCDR::portLost, w, [w, plain](const QDateTime& since) {
            w->setWindowTitle(QStringLiteral("%1 - serial port lost since %2, trying again")
                                  .arg(plain, since.toString(QStringLiteral("HH:mm:ss"))));
        });
        QObject::connect(&link, &frmCDR::portBack, w, [w, plain] { w->setWindowTitle(plain); });
    });
}

} // namespace portlostcaption
