#pragma once
// A pseudo-terminal pair for end-to-end tests: the test plays the meter on the master side, the
// tool opens the slave device by its path.

#include <QByteArray>
#include <QString>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    // Writes to the tool.
    void write(const QByteArray& bytes);
    // Reads what the tool wrote, waiting up to timeoutMs for at least minBytes, processing Qt events
    // meanwhile.
    QByteArray read(int minBytes, int timeoutMs);
    // Closes the master side (the far end goes away).
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
