#include "bus/frmFindMeters.h"

#include "engine/session.h"
#include "platform/keyboard.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frmFindMeters::frmFindMeters(Session& session, QWidget* parent)
    : QWidget(parent), m_session(session), m_scan(session)
{
    setObjectName(QStringLiteral("frmFindMeters"));
    setWindowTitle(QStringLiteral("Find Meters"));
    resize(460, 320);
    lstMeters = new QListWidget(this);
    lstMeters->setObjectName(QStringLiteral("lstMeters"));
    lblScan = new QLabel(QStringLiteral("Find asks nodes 1 to 16 for their identity."), this);
    lblScan->setObjectName(QStringLiteral("lblScan"));
    lblScan->setWordWrap(true);
    cmdFind = new QPushButton(QStringLiteral("Find"), this);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdFind);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstMeters, 1);
    layout->addWidget(lblScan);
    layout->addLayout(buttons);

    connect(cmdFind, &QPushButton::clicked, this, &frmFindMeters::cmdFind_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    keyboard::Install(*this, nullptr, [this] { close(); });
    connect(lstMeters, &QListWidget::itemClicked, this, &frmFindMeters::picked);
    connect(lstMeters, &QListWidget::itemActivated, this, &frmFindMeters::picked);
    connect(&m_scan, &NodeScan::asking, this, [this](int node, int k, int count) {
        lblScan->setText(QStringLiteral("Asking node %1 (%2 of %3)...").arg(node).arg(k + 1).arg(count));
    });
    connect(&m_scan, &NodeScan::nodeFound, this, [this](const NodeScan::Found& m) {
        auto* item = new QListWidgetItem(QStringLiteral("Node %1: model %2, version %3, serial number %4")
                                             .arg(m.node)
                                             .arg(m.model)
                                             .arg(m.version)
                                             .arg(m.serial),
                                         lstMeters);
        item->setData(Qt::UserRole, m.node);
    });
    connect(&m_scan, &NodeScan::finished, this, [this](bool stopped) {
        cmdFind->setText(QStringLiteral("Find"));
        const auto n = m_scan.found().size();
        if (!m_scan.error().isEmpty())
            lblScan->setText(QStringLiteral("The search stopped: %1").arg(m_scan.error()));
        else if (n == 0)
            lblScan->setText(stopped ? QStringLiteral("Stopped; no meter answered so far.")
                                     : QStringLiteral("No meter answered. Check the wiring, the adapter's A and B lines "
                                                      "and the line settings."));
        else
            lblScan->setText(QStringLiteral("%1 %2 found%3. Pick one to talk to it.")
                                 .arg(n)
                                 .arg(n == 1 ? QStringLiteral("meter") : QStringLiteral("meters"))
                                 .arg(stopped ? QStringLiteral(" before the search was stopped") : QString()));
    });
}

void frmFindMeters::cmdFind_Click()
{
    if (m_scan.running()) {
        m_scan.stop();
        return;
    }
    lstMeters->clear();
    cmdFind->setText(QStringLiteral("Stop"));
    m_scan.start({}, waitMs);
}

void frmFindMeters::picked(QListWidgetItem* item)
{
    if (!item || m_scan.running())
        return;
    if (onPick)
        onPick(item->data(Qt::UserRole).toInt());
}

void frmFindMeters::closeEvent(QCloseEvent* event)
{
    m_scan.stop();
    event->accept();
}
