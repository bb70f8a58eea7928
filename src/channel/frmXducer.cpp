#include "channel/frmXducer.h"

#include "engine/session.h"

#include <QCloseEvent>

frmXducer::frmXducer(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmXducer"));
    setWindowTitle(QStringLiteral("Channel Setup"));
}

frmXducer::~frmXducer() = default;
void frmXducer::closeEvent(QCloseEvent* event) { event->accept(); }
