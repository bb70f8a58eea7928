// zav-meter-sim-bench: times a whole image read from zav-meter-sim the way the tool reads it (each
// answer taken as complete after 50 ms of line silence, the next request sent at once) and prints it
// beside the estimate: the answers' wire time plus the turnaround and 50 ms of silence per block.
//
//   zav-meter-sim-bench [--baud N] [--chunk-words N] [--runs N] [--sim PATH]

#include "link/modComFun.h"

#include <QCoreApplication>
#include <QProcess>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Reads one answer: everything until the line has been silent for 50 ms (waiting up to 3 s for the
// first byte).
std::vector<std::uint8_t> readAnswer(int fd)
{
    std::vector<std::uint8_t> got;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, got.empty() ? 3000 : 50);
        if (r <= 0)
            return got;
        std::uint8_t buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            got.insert(got.end(), buf, buf + n);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int baud = 9600, chunk = 122, runs = 3, turnaround = 5;
    QString simPath = QStringLiteral(ZAV_METER_SIM_PATH);
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        if (k == "--baud")
            baud = std::atoi(argv[i + 1]);
        else if (k == "--chunk-words")
            chunk = std::atoi(argv[i + 1]);
        else if (k == "--runs")
            runs = std::atoi(argv[i + 1]);
        else if (k == "--sim")
            simPath = QString::fromLocal8Bit(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: %s [--baud N] [--chunk-words N] [--runs N] [--sim PATH]\n", argv[0]);
            return 2;
        }
    }

    QProcess sim;
    sim.start(simPath, {QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--chunk-words"),
                        QString::number(chunk), QStringLiteral("--turnaround"), QString::number(turnaround)});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(simPath));
        return 1;
    }
    const QByteArray path = sim.readLine().trimmed();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", path.constData(), std::strerror(errno));
        return 1;
    }
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);

    const auto request = modComFun::CommandFrame(2, modComFun::kPollNode, 0, 0);
    std::printf("image read at %d baud, %d words a block, turnaround %d ms\n", baud, chunk, turnaround);
    int status = 0;
    for (int run = 0; run < runs; ++run) {
        const auto t0 = Clock::now();
        std::size_t bytesIn = 0;
        int blocks = 0, imageBytes = 0, total = -1;
        while (total < 0 || imageBytes < 2 * total) {
            (void)!::write(fd, request.data(), request.size());
            const auto a = readAnswer(fd);
            if (a.size() < 10 || a[1] != modComFun::ReadImage || !modComFun::CrcMatches(a.data(), a.size())) {
                std::fprintf(stderr, "bad or missing answer (%zu bytes)\n", a.size());
                status = 1;
                break;
            }
            bytesIn += a.size();
            ++blocks;
            if (a[3] == 0)
                imageBytes = 0;
            total = modComFun::GetWordAt(a.data(), 4);
            imageBytes += 2 * a[6];
        }
        const double measured = msSince(t0);
        // The request after the last block is answered "done"; the tool does not wait for it.
        (void)!::write(fd, request.data(), request.size());
        readAnswer(fd);

        const double wire = static_cast<double>(bytesIn) * 10.0 * 1000.0 / baud;
        const double estimate = wire + blocks * (50.0 + turnaround);
        std::printf("run %d: %d blocks, %zu answer bytes: wire %.0f ms, estimate %.0f ms, measured %.0f ms "
                    "(%+.1f%%)\n",
                    run + 1, blocks, bytesIn, wire, estimate, measured, 100.0 * (measured - estimate) / estimate);
        if (status)
            break;
    }
    ::close(fd);
    sim.terminate();
    sim.waitForFinished(3000);
    return status;
}
