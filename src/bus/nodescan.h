#pragma once
// Finds the meters on an RS-485 bus: the identification (function code 34) to each node in turn,
// each with a short wait of its own after the request's last byte. A node that stays silent is
// passed over without a question; the identification route is borrowed for the scan (no image
// read follows an answer) and every setting of the link is given back at the end.

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class Session;

class NodeScan : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultWaitMs = 150;

    struct Found {
        std::uint8_t node = 0;
        std::uint8_t model = 0;
        std::uint8_t version = 0;
        std::uint16_t serial = 0;
    };

    explicit NodeScan(Session& session, QObject* parent = nullptr);
    ~NodeScan() override;

    // Asks the nodes in turn (1..16 when none are given). False when a scan is running already.
    bool start(QList<int> nodes = {}, int waitMs = kDefaultWaitMs);
    // Ends the scan after the node being asked (its answer, if it comes, is not taken).
    void stop();

    bool running() const { return m_running; }
    const QList<Found>& found() const { return m_found; }
    // Why the scan ended early (the port failed); empty otherwise.
    const QString& error() const { return m_error; }
    // The wait for one node: waitMs after the last byte of the request at the port's baud rate.
    static int NodeWaitMs(int waitMs, const QString& lineSettings);

signals:
    // The node about to be asked, the k-th (from 0) of count.
    void asking(int node, int k, int count);
    void nodeFound(const NodeScan::Found& meter);
    // All asked, stopped, or the port failed (error() says why).
    void finished(bool stopped);

private:
    void next();
    void end(bool stopped);

    Session& m_session;
    QList<int> m_nodes;
    int m_index = -1;
    int m_waitMs = kDefaultWaitMs;
    bool m_running = false;
    bool m_stopping = false;
    QList<Found> m_found;
    QString m_error;
    // What the scan borrows and gives back.
    std::uint8_t m_savedNode = 0;
    int m_savedResponseMs = 0;
    bool m_savedInteractive = true;
    QString m_savedOwner;
    std::function<void()> m_savedHandler;
    QList<QMetaObject::Connection> m_connections;
};
