#include "bus/nodescan.h"

#include "engine/identification.h"
#include "engine/session.h"
#include "link/commands.h"
#include "platform/linesettings.h"
#include "platform/serialdevice.h"

#include <cmath>

NodeScan::NodeScan(Session& session, QObject* parent) : QObject(parent), m_session(session) {}

NodeScan::~NodeScan()
{
    if (m_running)
        end(true);
}

int NodeScan::NodeWaitMs(int waitMs, const QString& lineSettings)
{
    LineSettings s;
    if (!LineSettings::parse(lineSettings, &s) || s.baud <= 0)
        s.baud = 9600;
    // An identification request is 8 bytes of 10 bits.
    return waitMs + static_cast<int>(std::ceil(8 * 10 * 1000.0 / s.baud));
}

bool NodeScan::start(QList<int> nodes, int waitMs)
{
    if (m_running)
        return false;
    if (nodes.isEmpty())
        for (int n = 1; n <= 16; ++n)
            nodes << n;
    m_nodes = nodes;
    m_waitMs = waitMs;
    m_index = -1;
    m_found.clear();
    m_error.clear();
    m_running = true;
    m_stopping = false;

    frmCDR& link = m_session.link();
    m_savedNode = m_session.NodeAddress;
    m_savedResponseMs = link.responseMs;
    m_savedInteractive = link.interactive;
    AnswerRoutes& routes = m_session.routes();
    m_savedOwner = routes.owner(modComFun::Identify);
    m_savedHandler = routes.handler(modComFun::Identify);
    routes.route(modComFun::Identify, QStringLiteral("node scan"), [this] {
        const identification::Identity id = identification::Decode(m_session.link().RxBuffer.data());
        const Found f{m_session.NodeAddress, id.model, id.version, id.serial};
        m_found << f;
        emit nodeFound(f);
        QMetaObject::invokeMethod(this, &NodeScan::next, Qt::QueuedConnection);
    });
    // A silent node, or a port that fails: the scan goes on, or ends, without a question.
    link.interactive = false;
    link.responseMs = NodeWaitMs(waitMs, link.MSComm1->settings());
    m_connections << connect(&link, &frmCDR::timedOut, this, [this] {
        QMetaObject::invokeMethod(this, &NodeScan::next, Qt::QueuedConnection);
    });
    m_connections << connect(&link, &frmCDR::sendFailed, this, [this](const QString& why) {
        m_error = why.isEmpty() ? QStringLiteral("the serial port cannot be opened") : why;
        QMetaObject::invokeMethod(this, [this] { end(false); }, Qt::QueuedConnection);
    });
    next();
    return true;
}

void NodeScan::stop()
{
    if (m_running)
        m_stopping = true;
    // Nothing outstanding: end at once; else when the node being asked has answered or not.
    if (m_running && !m_session.link().outstanding().open)
        end(true);
}

void NodeScan::next()
{
    if (!m_running || !m_error.isEmpty())
        return;
    if (m_stopping) {
        end(true);
        return;
    }
    ++m_index;
    if (m_index >= m_nodes.size()) {
        end(false);
        return;
    }
    const int node = m_nodes[m_index];
    emit asking(node, m_index, static_cast<int>(m_nodes.size()));
    // The link takes answers from the node addressed only.
    m_session.NodeAddress = static_cast<std::uint8_t>(node);
    modComFun::BuildCommand(m_session.link(), modComFun::KindIdentify, m_session.NodeAddress, 0, 0);
}

void NodeScan::end(bool stopped)
{
    if (!m_running)
        return;
    m_running = false;
    for (const auto& c : m_connections)
        disconnect(c);
    m_connections.clear();
    frmCDR& link = m_session.link();
    link.responseMs = m_savedResponseMs;
    link.interactive = m_savedInteractive;
    m_session.NodeAddress = m_savedNode;
    AnswerRoutes& routes = m_session.routes();
    if (m_savedHandler)
        routes.route(modComFun::Identify, m_savedOwner, m_savedHandler);
    else
        routes.clear(modComFun::Identify);
    emit finished(stopped);
}
