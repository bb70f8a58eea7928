#pragma once
// Runs the built zav-cli as a child process, with settings of its own (an empty per-user store
// unless the test writes one), and collects its exit status, output and time taken.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zavclitest {

struct CliRun {
    bool finished = false;
    int status = -1;
    QByteArray out;
    QByteArray err;
    qint64 ms = 0;

    // Standard error as its lines.
    QList<QByteArray> errLines() const
    {
        QList<QByteArray> lines = err.split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
};

// A per-user settings home for the child: the Instrument Interface's store lives under it.
class ConfigHome {
public:
    QString path() const { return m_dir.path(); }
    // The store file the window tool reads its port preferences from.
    QString storeFile() const { return m_dir.filePath(QStringLiteral("ZAV/Instrument Interface.ini")); }
    bool writeStore(const QByteArray& ini) const
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("ZAV"));
        QFile f(storeFile());
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(ini) == ini.size();
    }

private:
    QTemporaryDir m_dir;
};

struct RunOptions {
    int timeoutMs = 20000;
    QString stderrFile; // when set, standard error goes to this file (a terminal in one test)
};

inline CliRun runCli(const QStringList& args, const ConfigHome& home, const RunOptions& options = {})
{
    CliRun r;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    p.setProcessEnvironment(env);
    if (!options.stderrFile.isEmpty())
        p.setStandardErrorFile(options.stderrFile, QIODevice::Append);
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral(ZAV_CLI_PATH), args);
    if (!p.waitForStarted(10000))
        return r;
    r.finished = p.waitForFinished(options.timeoutMs);
    r.ms = clock.elapsed();
    if (!r.finished) {
        p.kill();
        p.waitForFinished(2000);
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

inline std::string describe(const CliRun& r)
{
    return "status " + std::to_string(r.status) + " after " + std::to_string(r.ms) + " ms\nstdout: " + r.out.toStdString()
           + "\nstderr: " + r.err.toStdString();
}

// A failure: the given status, nothing on standard output, one line on standard error naming the
// program and containing the given words.
inline void expectFailure(const CliRun& r, int status, const QString& words)
{
    ASSERT_TRUE(r.finished) << describe(r);
    EXPECT_EQ(r.status, status) << describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << describe(r);
    ASSERT_EQ(r.errLines().size(), 1) << describe(r);
    EXPECT_TRUE(r.err.startsWith("zav-cli: ")) << describe(r);
    EXPECT_TRUE(QString::fromLocal8Bit(r.err).contains(words)) << "expected \"" << words.toStdString() << "\"\n"
                                                                << describe(r);
}

// Success: status 0 and nothing on standard error (which is not a terminal here).
inline void expectSuccess(const CliRun& r)
{
    ASSERT_TRUE(r.finished) << describe(r);
    EXPECT_EQ(r.status, 0) << describe(r);
    EXPECT_TRUE(r.err.isEmpty()) << describe(r);
}

} // namespace zavclitest
