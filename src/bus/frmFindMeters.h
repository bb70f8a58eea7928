#pragma once
// "Find Meters": the node scan of an RS-485 bus in a small window. Find asks nodes 1..16 in turn
// (Stop ends it after the node being asked), each meter that answers is listed with its node,
// model, firmware version and serial number, and picking a row chooses that node for every
// request (through the start window's node list).

#include "bus/nodescan.h"

#include <QWidget>

#include <functional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class Session;

class frmFindMeters : public QWidget {
    Q_OBJECT
public:
    explicit frmFindMeters(Session& session, QWidget* parent = nullptr);

    // Called with the node the user picked.
    std::function<void(int node)> onPick;
    // Each node's wait after its request (ms).
    int waitMs = NodeScan::kDefaultWaitMs;

    QListWidget* lstMeters = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdClose = nullptr;
    QLabel* lblScan = nullptr;

    void cmdFind_Click();
    NodeScan& Scan() { return m_scan; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void picked(QListWidgetItem* item);

    Session& m_session;
    NodeScan m_scan;
};
