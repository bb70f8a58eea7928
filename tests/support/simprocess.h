#pragma once
// The meter simulator as a child process: started with options, its pseudo-terminal path read
// from the first line it prints, stopped with SIGTERM. The test target defines ZAV_METER_SIM_PATH.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <sys/prctl.h>

class SimProcess {
public:
    explicit SimProcess(const QStringList& options = {})
    {
#ifdef ZAV_METER_SIM_PATH
        // A test that dies must not leave its meter running.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(QStringLiteral(ZAV_METER_SIM_PATH), options);
        if (!m_process.waitForStarted(5000))
            return;
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < 5000)
            m_process.waitForReadyRead(100);
        if (m_process.canReadLine())
            m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
#else
        Q_UNUSED(options);
#endif
    }

    ~SimProcess() { stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ok() const { return !m_device.isEmpty(); }
    QString device() const { return m_device; }

    // Ends the simulator and returns what it printed after its first line (the summary).
    QString stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return m_rest;
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
        m_rest += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_rest;
    }
    int exitCode() const { return m_process.exitCode(); }

private:
    QProcess m_process;
    QString m_device;
    QString m_rest;
};
