// zav-meter-sim: plays the flow meter on a pseudo-terminal or a serial device (see --help).
//
// One thread, one poll loop: bytes from the line go through the frame splitter to the meter; the
// meter's answers are put on the line at the wire rate after the turnaround; SIGINT and SIGTERM come
// in through a pipe and end the loop, after which the summary line is printed.

#include "framesplitter.h"
#include "imagefile.h"
#include "meter.h"
#include "options.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

using sim::Meter;

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    const int saved = errno;
    (void)!::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

std::string hex(const std::vector<std::uint8_t>& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

class Log {
public:
    bool open(const std::string& path)
    {
        m_file = std::fopen(path.c_str(), "w");
        return m_file != nullptr;
    }
    ~Log()
    {
        if (m_file)
            std::fclose(m_file);
    }
    void line(const std::string& text)
    {
        if (!m_file)
            return;
        const QByteArray stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
        std::fprintf(m_file, "%s %s\n", stamp.constData(), text.c_str());
        std::fflush(m_file);
    }

private:
    std::FILE* m_file = nullptr;
};

std::string faultText(unsigned faults)
{
    std::string s;
    auto add = [&](unsigned bit, const char* name) {
        if (faults & bit)
            s += (s.empty() ? "" : ", ") + std::string(name);
    };
    add(sim::FaultForeign, "foreign");
    add(sim::FaultCorrupt, "corrupt");
    add(sim::FaultNoise, "noise");
    add(sim::FaultSplit, "split");
    add(sim::FaultDelay, "delay");
    add(sim::FaultLate, "late");
    return s.empty() ? s : " [" + s + "]";
}

speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return 0;
    }
}

// The line: a pseudo-terminal master (with the far end kept open by us as well, so the tool can
// open and close it as often as it likes) or a serial device.
struct Line {
    int fd = -1;
    int keepOpen = -1;
    std::string path;
    std::string linkPath;

    bool openPty(std::string& error)
    {
        fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        char name[128] = {};
        if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
            error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        path = name;
        keepOpen = ::open(name, O_RDWR | O_NOCTTY);
        termios tio{};
        if (keepOpen < 0 || ::tcgetattr(keepOpen, &tio) != 0) {
            error = "cannot open " + path + ": " + std::strerror(errno);
            return false;
        }
        ::cfmakeraw(&tio);
        ::tcsetattr(keepOpen, TCSANOW, &tio);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        return true;
    }

    bool openDevice(const std::string& device, int baud, std::string& error)
    {
        path = device;
        fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            error = "cannot open " + device + ": " + std::strerror(errno);
            return false;
        }
        termios tio{};
        if (::isatty(fd) && ::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            tio.c_cflag |= CLOCAL | CREAD;
            tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
            if (const speed_t s = speedFor(baud)) {
                ::cfsetispeed(&tio, s);
                ::cfsetospeed(&tio, s);
            }
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        return true;
    }

    bool makeLink(const std::string& at, std::string& error)
    {
        struct stat st {};
        if (::lstat(at.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = at + " exists and is not a symbolic link; not replacing it";
                return false;
            }
            ::unlink(at.c_str());
        }
        if (::symlink(path.c_str(), at.c_str()) != 0) {
            error = "cannot make the link " + at + ": " + std::strerror(errno);
            return false;
        }
        linkPath = at;
        return true;
    }

    ~Line()
    {
        if (!linkPath.empty())
            ::unlink(linkPath.c_str());
        if (keepOpen >= 0)
            ::close(keepOpen);
        if (fd >= 0)
            ::close(fd);
    }
};

// Answer bytes waiting for their time on the line.
struct Slice {
    double dueMs;
    std::vector<std::uint8_t> bytes;
    std::string logLine; // written when the slice goes out
    bool last = false;   // the answer's last bytes
};

class Transmitter {
public:
    // turnaroundMs: the silence the meter keeps before each answer, also after an answer it was
    // still sending when the request came (it works one request at a time).
    Transmitter(int baud, int turnaroundMs) : m_baud(baud), m_turnaroundMs(turnaroundMs)
    {
        // About 2 ms of line time per write.
        m_sliceBytes = std::max<std::size_t>(1, static_cast<std::size_t>(baud / 10 / 500));
    }

    void schedule(const sim::Reply& reply, double requestEndMs, std::string logLine)
    {
        double previousEnd = requestEndMs;
        for (const sim::Piece& piece : reply.pieces) {
            const bool first = &piece == &reply.pieces.front();
            const double start = std::max(previousEnd + piece.gapMs, m_lineFreeMs + (first ? m_turnaroundMs : 0.0));
            const std::size_t n = piece.bytes.size();
            for (std::size_t off = 0; off < n; off += m_sliceBytes) {
                const std::size_t k = std::min(m_sliceBytes, n - off);
                // A byte is there once its last bit has arrived.
                Slice s{start + Meter::WireMs(off + k, m_baud),
                        {piece.bytes.begin() + static_cast<std::ptrdiff_t>(off),
                         piece.bytes.begin() + static_cast<std::ptrdiff_t>(off + k)},
                        {}};
                if (!logLine.empty()) {
                    s.logLine = std::move(logLine);
                    logLine.clear();
                }
                m_queue.push_back(std::move(s));
            }
            if (n > 0 && &piece == &reply.pieces.back())
                m_queue.back().last = true;
            m_lineFreeMs = start + Meter::WireMs(n, m_baud);
            previousEnd = m_lineFreeMs;
        }
    }

    std::deque<Slice>& queue() { return m_queue; }
    void clear() { m_queue.clear(); }

private:
    int m_baud;
    int m_turnaroundMs;
    std::size_t m_sliceBytes;
    double m_lineFreeMs = 0;
    std::deque<Slice> m_queue;
};

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "zav-meter-sim: %s\n", message.c_str());
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zav-meter-sim"));
    const sim::ParseResult parsed = sim::ParseOptions(QCoreApplication::arguments());
    if (parsed.exitCode >= 0) {
        std::fputs(parsed.out.c_str(), stdout);
        std::fputs(parsed.err.c_str(), stderr);
        return parsed.exitCode;
    }
    const sim::SimOptions& opt = parsed.options;
    std::string error;

    sim::Image image = sim::FactoryImage(opt.meter.node);
    if (!opt.imagePath.empty()) {
        std::uint8_t model = 0, version = 0;
        if (!sim::ReadSiteFile(opt.imagePath, image, model, version, error))
            return fail(1, error);
    }
    Log log;
    if (!opt.logPath.empty() && !log.open(opt.logPath))
        return fail(1, "cannot write the log " + opt.logPath + ": " + std::strerror(errno));

    // One meter, or several on the line (the first keeps --image and --save).
    std::vector<std::unique_ptr<Meter>> meters;
    if (opt.nodes.empty()) {
        meters.push_back(std::make_unique<Meter>(opt.meter, image));
    } else {
        for (std::size_t k = 0; k < opt.nodes.size(); ++k) {
            sim::MeterConfig c = opt.meter;
            c.node = static_cast<std::uint8_t>(opt.nodes[k]);
            c.serial = static_cast<std::uint16_t>(opt.meter.serial + k);
            c.answersPoll = k == 0;
            meters.push_back(std::make_unique<Meter>(c, k == 0 && !opt.imagePath.empty() ? image : sim::FactoryImage(c.node)));
        }
    }
    Meter& meter = *meters.front();
    // The meter a request is for: its node's, the first for the Poll node or a node nobody has.
    const auto meterFor = [&meters](const std::vector<std::uint8_t>& frame) -> Meter& {
        for (const auto& m : meters)
            if (!frame.empty() && frame[0] == m->config().node)
                return *m;
        return *meters.front();
    };
    if (opt.save) {
        meter.onImageAccepted = [&](const sim::Image& accepted) {
            std::string why;
            if (sim::WriteSiteFile(opt.imagePath, accepted, opt.meter.model, opt.meter.version, why)) {
                log.line("image saved to " + opt.imagePath);
            } else {
                std::fprintf(stderr, "zav-meter-sim: %s\n", why.c_str());
                log.line("image not saved: " + why);
            }
        };
    }

    Line line;
    if (opt.devicePath.empty() ? !line.openPty(error) : !line.openDevice(opt.devicePath, opt.meter.baud, error))
        return fail(1, error);
    if (!opt.linkPath.empty() && !line.makeLink(opt.linkPath, error))
        return fail(1, error);

    if (::pipe(g_signalPipe) != 0)
        return fail(1, std::string("cannot make a pipe: ") + std::strerror(errno));
    ::fcntl(g_signalPipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", line.path.c_str());
    std::fflush(stdout);
    std::string nodes;
    for (const auto& m : meters)
        nodes += (nodes.empty() ? "" : ",") + std::to_string(m->config().node);
    log.line("meter on " + line.path + " (node " + nodes + ", " +
             std::to_string(opt.meter.baud) + " baud)");

    sim::FrameSplitter splitter;
    Transmitter tx(opt.meter.baud, opt.meter.turnaroundMs);
    double quietUntil = 0;     // after a hang-up on the line, wait before listening again
    double blockedSince = -1;  // the line has refused output since then

    auto takeFrame = [&](const std::vector<std::uint8_t>& frame, double at) {
        const sim::Outcome o = meterFor(frame).handle(frame, at);
        if (o.verdict != sim::Verdict::Answered) {
            log.line("RX " + hex(frame) + " (ignored: " + sim::VerdictText(o.verdict) + ")");
            return;
        }
        log.line("RX " + hex(frame));
        if (o.reply.pieces.empty()) {
            log.line("TX withheld [drop] " + hex(o.reply.answer));
            return;
        }
        std::vector<std::uint8_t> sent;
        for (const sim::Piece& p : o.reply.pieces)
            sent.insert(sent.end(), p.bytes.begin(), p.bytes.end());
        // A pseudo-terminal takes the whole request at once: it ends when its last byte would
        // have crossed a real line.
        const double requestEnd = opt.devicePath.empty() ? at + Meter::WireMs(frame.size(), opt.meter.baud) : at;
        tx.schedule(o.reply, requestEnd, "TX " + hex(sent) + faultText(o.reply.faults));
    };

    bool running = true;
    while (running) {
        double now = nowMs();
        // Put due answer bytes on the line.
        auto& q = tx.queue();
        while (!q.empty() && q.front().dueMs <= now) {
            Slice& s = q.front();
            if (!s.logLine.empty()) {
                log.line(s.logLine);
                s.logLine.clear();
            }
            const ssize_t n = ::write(line.fd, s.bytes.data(), s.bytes.size());
            if (n == static_cast<ssize_t>(s.bytes.size())) {
                if (s.last && opt.logEnds) {
                    char text[64];
                    std::snprintf(text, sizeof text, "TX end %.3f", nowMs());
                    log.line(text);
                }
                q.pop_front();
                blockedSince = -1;
                continue;
            }
            if (n > 0)
                s.bytes.erase(s.bytes.begin(), s.bytes.begin() + n);
            else if (errno != EAGAIN && errno != EINTR && errno != EIO)
                q.pop_front(); // the line refuses these bytes for good
            if (blockedSince < 0)
                blockedSince = now;
            else if (now - blockedSince > 2000) {
                // Nobody reads the line: forget the answers rather than deliver them stale.
                log.line("line blocked for 2 s: " + std::to_string(q.size()) + " pieces of output dropped");
                tx.clear();
                blockedSince = -1;
            }
            break;
        }
        if (auto fragment = splitter.poll(now))
            takeFrame(*fragment, now);

        double next = now + 1000.0;
        const bool waitingToWrite = blockedSince >= 0 && !q.empty();
        if (!q.empty() && !waitingToWrite)
            next = std::min(next, q.front().dueMs);
        if (waitingToWrite)
            next = std::min(next, now + 20.0);
        if (auto d = splitter.deadline())
            next = std::min(next, *d);
        if (quietUntil > now)
            next = std::min(next, quietUntil);

        pollfd fds[2] = {{g_signalPipe[0], POLLIN, 0}, {line.fd, 0, 0}};
        if (quietUntil <= now)
            fds[1].events = POLLIN;
        const double wait = std::max(0.0, next - now);
        timespec ts{static_cast<time_t>(wait / 1000.0), static_cast<long>(std::fmod(wait, 1000.0) * 1e6)};
        const int ready = ::ppoll(fds, 2, &ts, nullptr);
        if (ready < 0 && errno != EINTR)
            return fail(1, std::string("poll: ") + std::strerror(errno));
        if (ready <= 0)
            continue;
        if (fds[0].revents & POLLIN)
            running = false;
        now = nowMs();
        if (fds[1].revents & POLLIN) {
            std::uint8_t buf[4096];
            const ssize_t n = ::read(line.fd, buf, sizeof buf);
            if (n > 0) {
                for (const auto& frame : splitter.feed(buf, static_cast<std::size_t>(n), now))
                    takeFrame(frame, now);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                quietUntil = now + 100.0;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The far end has gone away for now: wait for it rather than spin or give up.
            quietUntil = now + 100.0;
        }
    }

    sim::MeterStats all;
    for (const auto& m : meters)
        all += m->stats();
    const std::string summary = "zav-meter-sim: " + sim::SummaryLine(all);
    log.line(summary);
    std::printf("%s\n", summary.c_str());
    std::fflush(stdout);
    return 0;
}
