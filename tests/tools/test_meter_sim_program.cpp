// The built zav-meter-sim program: its command line, and whole exchanges over a real
// pseudo-terminal (its own, or a serial device given with --device), ended by a signal.

#include "simtest.h"

#include "imagefile.h"
#include "options.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace simtest;

namespace {

const QString kSim = QStringLiteral(ZAV_METER_SIM_PATH);

// Starts the simulator and returns the first line of its standard output.
QString start(QProcess& p, const QStringList& args)
{
    p.start(kSim, args);
    if (!p.waitForStarted(10000))
        return {};
    QElapsedTimer t;
    t.start();
    while (!p.canReadLine() && t.elapsed() < 10000)
        p.waitForReadyRead(100);
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}

// Ends the simulator with a signal; returns the rest of its standard output.
QString stop(QProcess& p, int signal)
{
    ::kill(static_cast<pid_t>(p.processId()), signal);
    EXPECT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// The tool's side of the line, as plain POSIX calls on the device path.
class Port {
public:
    explicit Port(const QString& path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~Port()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }

    // Writes a request and collects the answer the way the tool does: everything until 50 ms of
    // silence, waiting up to firstMs for the first byte.
    Bytes exchange(const Bytes& request, int firstMs = 3000)
    {
        EXPECT_EQ(::write(m_fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
        Bytes got;
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, got.empty() ? firstMs : 50) <= 0)
                return got;
            std::uint8_t buf[512];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
        }
    }

private:
    int m_fd = -1;
};

Bytes expectedIdentification(std::uint8_t model, std::uint8_t version, std::uint16_t serial)
{
    return testbytes::withCrc({17, 34, 0, 0, model, version, static_cast<std::uint8_t>(serial & 0xFF),
                               static_cast<std::uint8_t>(serial >> 8)});
}

} // namespace

TEST(MeterSimProgram, HelpAndBadOptionsPrintWhatTheParserSaysAndExitWithItsCode)
{
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"--bogus"}, QStringList{"--split", "2"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const sim::ParseResult parsed = sim::ParseOptions(QStringList{kSim} << args);
        ASSERT_GE(parsed.exitCode, 0);
        QProcess p;
        p.start(kSim, args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), parsed.exitCode);
        // The usage line names the running program: here this test, there the simulator.
        const auto asSim = [](const std::string& text) {
            return QString::fromStdString(text).replace(QCoreApplication::arguments().constFirst(), kSim);
        };
        EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardOutput()), asSim(parsed.out));
        EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()), asSim(parsed.err));
    }

    // A site file that is not one is refused before the line is opened.
    QTemporaryDir dir;
    const QString junk = QDir(dir.path()).filePath(QStringLiteral("junk.bin"));
    ASSERT_TRUE(testbytes::writeFile(junk, QByteArray(100, 'x')));
    QProcess refused;
    refused.start(kSim, {QStringLiteral("--image"), junk});
    ASSERT_TRUE(refused.waitForFinished(10000));
    EXPECT_EQ(refused.exitCode(), 1);
    EXPECT_TRUE(refused.readAllStandardOutput().isEmpty());
}

TEST(MeterSimProgram, IdentifiesAndReadsTheImageOverItsPseudoTerminalThenStopsOnSigterm)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = QDir(dir.path()).filePath(QStringLiteral("meter"));
    const QString logPath = QDir(dir.path()).filePath(QStringLiteral("meter.log"));
    QProcess sim;
    const QString path = start(sim, {"--baud", "115200", "--turnaround", "1", "--serial", "4660", "--link", link,
                                     "--log", logPath});
    ASSERT_TRUE(path.startsWith(QStringLiteral("/dev/pts/"))) << path.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);

    {
        Port port(link);
        ASSERT_TRUE(port.ok());
        EXPECT_EQ(port.exchange(identify()), expectedIdentification(1, 3, 4660));
        const Transfer image = collect([&] { return port.exchange(readImage()); }, mc::ReadImage);
        EXPECT_EQ(image.data, sim::FactoryImage());
        EXPECT_EQ(image.blocks, 6);
        EXPECT_EQ(port.exchange(readImage())[1], 37);
        // Nothing comes back for a request with a bad CRC.
        Bytes bad = identify();
        bad[6] ^= 0xFF;
        EXPECT_TRUE(port.exchange(bad, 200).empty());
    }
    // The tool closes and opens the port again: the meter is still there.
    {
        Port port(path);
        ASSERT_TRUE(port.ok());
        EXPECT_EQ(port.exchange(identify()), expectedIdentification(1, 3, 4660));
    }

    const QString rest = stop(sim, SIGTERM);
    const QStringList lines = rest.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1) << rest.toStdString();
    for (const char* count : {"32:7", "34:2", "ignored 1"})
        EXPECT_TRUE(lines[0].contains(QLatin1String(count))) << count << " in " << rest.toStdString();
    EXPECT_FALSE(QFileInfo::exists(link));

    const QString logText = QString::fromLatin1(testbytes::fileBytes(logPath));
    // Time-stamped hex lines, requests and answers.
    const QRegularExpression stamped(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "));
    int rx = 0, tx = 0;
    for (const QString& l : logText.split('\n', Qt::SkipEmptyParts)) {
        EXPECT_TRUE(stamped.match(l).hasMatch()) << l.toStdString();
        rx += l.contains(QStringLiteral(" RX 11 22 EF CD 00 00"));
        tx += l.contains(QStringLiteral(" TX 11 22 00 00 01 03 34 12"));
    }
    EXPECT_EQ(rx, 3); // two good identifications, one with a bad CRC
    EXPECT_EQ(tx, 2);
    EXPECT_TRUE(logText.contains(QStringLiteral("(ignored: bad CRC)")));
}

TEST(MeterSimProgram, OnADeviceItSplitsAnswersAndSavesWrittenImagesThenStopsOnSigint)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    const QString site = QDir(dir.path()).filePath(QStringLiteral("site.bin"));
    std::string error;
    ASSERT_TRUE(sim::WriteSiteFile(site.toStdString(), sim::FactoryImage(), 1, 3, error)) << error;

    QProcess sim;
    const QString path = start(sim, {"--device", pty.slavePath(), "--baud", "115200", "--split", "1", "--seed", "5",
                                     "--image", site, "--save"});
    ASSERT_EQ(path, pty.slavePath());

    // The identification answer arrives in two parts (counted in the summary below).
    pty.write(testbytes::qbytes(identify()));
    const QByteArray first = pty.read(1, 3000);
    ASSERT_FALSE(first.isEmpty());
    const QByteArray second = pty.read(10 - static_cast<int>(first.size()), 3000);
    EXPECT_EQ(testbytes::fromQ(first + second), expectedIdentification(1, 3, 12345));

    // A written image replaces the meter's and is saved to its site file.
    Bytes edited = sim::FactoryImage();
    mc::TextToField("SAVED", edited.data());
    int sent = 0;
    for (int flag = 0; flag != 2;) {
        const int n = std::min(56, 726 - sent);
        flag = n < 56 ? 2 : (sent == 0 ? 0 : 1);
        pty.write(testbytes::qbytes(writeBlock(edited, sent, n, flag)));
        sent += n;
        const QByteArray a = pty.read(6, 3000);
        if (flag != 2) // acknowledged with the words received so far
            ASSERT_EQ(testbytes::fromQ(a), testbytes::withCrc({17, 33, std::uint8_t(sent % 256), std::uint8_t(sent / 256)}));
        else
            EXPECT_EQ(a[1], 37);
    }
    const QByteArray file = testbytes::fileBytes(site);
    ASSERT_EQ(file.size(), 1455);
    EXPECT_EQ(testbytes::fromQ(file.mid(3)), edited);

    const QString rest = stop(sim, SIGINT);
    for (const char* count : {"34:1", "33:13", "split:14"})
        EXPECT_TRUE(rest.contains(QLatin1String(count))) << count << " in " << rest.toStdString();
}
