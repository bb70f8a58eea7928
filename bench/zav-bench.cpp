// zav-bench: how close the tool comes to what the serial line allows, against zav-meter-sim on a
// pseudo-terminal with no turnaround. Run by hand (bench/run.sh); it prints a table and never
// fails a build.
//
//   zav-bench [--runs N] [--wave-runs N] [--baud 9600,115200] [--early-end off,on] [--seconds S]
//
// Each transfer is held against two floors: its request and answer bytes at 10 bits a byte plus,
// for every answer, the 50 ms of silence that ends it by the meter's rules (the "silence"
// floor), or the 3.5 character times of silence (at least 1.75 ms) that end it with early end
// of answer (the "wire's" floor). Each item runs with early end off and on. Every exchange is
// taken from the link trace, time-stamped here on CLOCK_MONOTONIC; the simulator logs when it
// wrote each answer's last byte on the same clock (--log-ends), which gives the end-of-answer
// latency: what the event loop adds after the silence.
//
// Items: image read and write through the engine (the calls the configuration menu makes) and
// through zav-cli; the 2 x 2048-sample waveform download through the raw signal window; the
// diagnostics log at 20 Hz with logging to a file; the end-of-answer latency; the CPU time of the
// windows while they poll (trace off); and zav-interface itself: start to first window, idle CPU
// and resident memory.

#include "benchmain.h"
#include "app/windowtool.h"
#include "engine/engineroutes.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "link/commands.h"
#include "link/frmCDR.h"
#include "link/modComFun.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "platform/dialogservice.h"
#include "platform/settingsstore.h"
#include "support/simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QLoggingCategory>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double monoMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// ---------------------------------------------------------------------------------------------
// The link trace on the monotonic clock

struct Event {
    double at;
    bool sent;          // a request written; otherwise an answer taken
    int bytes;
    std::uint8_t code;  // byte 1
    std::uint8_t b2;    // byte 2 (the plot slot of a waveform block)
    std::uint8_t b3;    // byte 3 (its block mark)
};

std::vector<Event> g_events;
bool g_tracing = false;

void onMessage(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    if (!g_tracing || !context.category || qstrcmp(context.category, "zav.link") != 0)
        return;
    const double at = monoMs();
    const QStringList f = text.split(QLatin1Char(' '));
    if (f.isEmpty() || (f[0] != QLatin1String("sent") && f[0] != QLatin1String("taken")))
        return;
    Event e{at, f[0] == QLatin1String("sent"), 0, 0, 0, 0};
    for (int i = 1; i < f.size() && f[i].size() == 2; ++i) {
        bool ok = false;
        const auto v = static_cast<std::uint8_t>(f[i].toUInt(&ok, 16));
        if (!ok)
            break;
        if (e.bytes == 1)
            e.code = v;
        else if (e.bytes == 2)
            e.b2 = v;
        else if (e.bytes == 3)
            e.b3 = v;
        ++e.bytes;
    }
    g_events.push_back(e);
}

void trace(bool on)
{
    g_tracing = on;
    QLoggingCategory::setFilterRules(on ? QStringLiteral("zav.link.debug=true") : QStringLiteral("zav.link.debug=false"));
}

// The silence that ends an answer: 50 ms, or with early end 3.5 characters of 10 bits (at least
// 1.75 ms, as the link waits).
double quietMs(int baud, bool early)
{
    return early ? std::max(35000.0 / baud, 1.75) : modComFun::kSilenceMs;
}

// The floor of the exchanges in events[from, to): their bytes at 10 bits a byte and the silence
// after each answer.
double floorMs(const std::vector<Event>& ev, std::size_t from, std::size_t to, int baud, bool early)
{
    double bytes = 0;
    int answers = 0;
    for (std::size_t i = from; i < to && i < ev.size(); ++i) {
        bytes += ev[i].bytes;
        if (!ev[i].sent)
            ++answers;
    }
    return bytes * 10.0 * 1000.0 / baud + quietMs(baud, early) * answers;
}

// ---------------------------------------------------------------------------------------------
// Results

struct Row {
    std::string item;
    int baud = 0;
    std::vector<double> values; // ratios, rates or milliseconds, one per run
    double goal = 0;
    bool atMost = true;         // pass when p95 (or median for rates) <= goal; else >= goal
    std::string unit;           // "x floor", "x ceiling", "ms", "%", "MB"
    std::string note;
    int early = -1;             // early end of answer off (0) or on (1); -1: not a link item
    // A transfer: its time (or a rate: polls per second) and the same against the silence
    // and the wire's floor (or ceiling), one per run; values holds the judged one.
    std::vector<double> measured, def, wire;
};

// A transfer of `ms` against both floors; the one of the run's mode is judged.
void addRun(Row& r, double ms, double defFloor, double wireFloor)
{
    r.measured.push_back(ms);
    r.def.push_back(ms / defFloor);
    r.wire.push_back(ms / wireFloor);
    r.values.push_back(r.early == 1 ? ms / wireFloor : ms / defFloor);
}
std::vector<Row> g_rows;

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(std::floor(pos));
    const auto hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
}

void printRow(const Row& r)
{
    const double med = quantile(r.values, 0.5), p95 = quantile(r.values, 0.95), p05 = quantile(r.values, 0.05);
    // The figure held against the goal: p95 for an upper bound, the 5th percentile for a lower one.
    const double judged = r.atMost ? p95 : p05;
    const bool pass = !r.values.empty() && (r.atMost ? judged <= r.goal : judged >= r.goal);
    auto column = [](const std::vector<double>& v, const char* format) {
        char text[32] = "-";
        if (!v.empty())
            std::snprintf(text, sizeof text, format, quantile(v, 0.5));
        return std::string(text);
    };
    std::printf("%-36s %6s %5s %4zu %9s %7s %7s %9.3f %9.3f  %s%-6.3g %-10s %s%s%s\n", r.item.c_str(),
                r.baud ? std::to_string(r.baud).c_str() : "-", r.early < 0 ? "-" : r.early ? "on" : "off",
                r.values.size(), column(r.measured, "%.1f").c_str(), column(r.def, "%.3f").c_str(),
                column(r.wire, "%.3f").c_str(), med, r.atMost ? p95 : p05, r.atMost ? "<=" : ">=", r.goal,
                r.unit.c_str(), r.values.empty() ? "n/a" : pass ? "pass" : "MISS", r.note.empty() ? "" : "  ",
                r.note.c_str());
    std::fflush(stdout);
}

void add(Row r)
{
    printRow(r);
    g_rows.push_back(std::move(r));
}

// ---------------------------------------------------------------------------------------------
// The simulator

struct Sim {
    std::unique_ptr<SimProcess> process;
    QString device;
    QString log;

    bool start(int baud, const QString& logPath)
    {
        log = logPath;
        QFile::remove(log);
        process = std::make_unique<SimProcess>(QStringList{"--baud", QString::number(baud), "--turnaround", "0", "--samples",
                                                           "2048", "--log", log, "--log-ends"});
        device = process->device();
        return process->ok();
    }
    // CLOCK_MONOTONIC times of the answers' last bytes, in order.
    std::vector<double> answerEnds() const
    {
        std::vector<double> ends;
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return ends;
        while (!f.atEnd()) {
            const QByteArray line = f.readLine();
            const int at = line.indexOf(" TX end ");
            if (at >= 0)
                ends.push_back(line.mid(at + 8).trimmed().toDouble());
        }
        return ends;
    }
};

// The end-of-answer latency of every answer taken in events[from, to): from the answer's last
// byte on the line (the latest end the simulator logged before it was taken) to its handling,
// less the silence that ends it (quietMs).
void collectLatency(const Sim& sim, std::size_t from, std::size_t to, double quiet, std::vector<double>& into)
{
    const std::vector<double> ends = sim.answerEnds();
    for (std::size_t i = from; i < to && i < g_events.size(); ++i) {
        if (g_events[i].sent)
            continue;
        const auto it = std::upper_bound(ends.begin(), ends.end(), g_events[i].at);
        if (it == ends.begin())
            continue;
        into.push_back(g_events[i].at - *(it - 1) - quiet);
    }
}

// Runs the event loop until done() holds or ms pass. done() is checked when a handler calls
// poke() and every 20 ms; the CPU figures are measured with no ticking at all (settle).
QEventLoop* g_loop = nullptr;
std::function<bool()> g_done;

void poke()
{
    if (g_loop && g_done && g_done())
        g_loop->quit();
}

bool runUntil(const std::function<bool()>& done, int ms, bool tick = true)
{
    QEventLoop loop;
    QTimer ticker;
    ticker.setInterval(20);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] { poke(); });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (tick)
        ticker.start();
    limit.start(ms);
    QEventLoop* const outerLoop = std::exchange(g_loop, &loop);
    std::function<bool()> outerDone = std::exchange(g_done, done);
    if (!done())
        loop.exec();
    g_loop = outerLoop;
    g_done = std::move(outerDone);
    return done();
}

void settle(int ms)
{
    runUntil([] { return false; }, ms, false);
}

// ---------------------------------------------------------------------------------------------
// Image read and write through the engine, as the configuration menu runs them

// The goal of a transfer: with early end against the wire's floor, else the silence floor.
Row transferRow(const char* item, int baud, bool early, double earlyGoal, const char* note = "")
{
    Row r{item, baud, {}, early ? earlyGoal : 1.05, true, early ? "x wire" : "x silence", note, early ? 1 : 0, {}, {}, {}};
    return r;
}

void engineImage(const QString& device, int baud, bool early, int runs, const Sim& sim, std::vector<double>& latency)
{
    Session s(std::make_unique<ScriptedDialogService>());
    s.settings().setValue(QStringLiteral("Ports"), QStringLiteral("Com1"), device);
    // The port at the simulator's rate: a pseudo-terminal ignores it, the quiet time follows it.
    s.settings().setValue(QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("%1,n,8,1").arg(baud));
    s.StartUp();
    InstallEngineRoutes(s);
    frmCDR& link = s.link();
    link.interactive = false;
    link.EarlyEnd = early;

    // The exchange ends when the closing answer (code 37, or 93 for a refused write) is handled.
    bool over = false;
    double endAt = 0;
    QObject::connect(&link, &frmCDR::answerAccepted, &s, [&](quint8 code) {
        if (code == modComFun::TransferDone || code == modComFun::WriteRefused) {
            QTimer::singleShot(0, &s, [&] {
                endAt = monoMs();
                over = true;
                poke();
            });
        }
    });
    QObject::connect(&link, &frmCDR::timedOut, &s, [&] {
        over = true;
        poke();
    });

    Row read = transferRow("image read, engine", baud, early, 1.10);
    Row write = transferRow("image write, engine", baud, early, 1.10);
    for (int i = 0; i < runs; ++i) {
        for (int w = 0; w < 2; ++w) {
            settle(100); // the line quiet between runs
            const std::size_t first = g_events.size();
            over = false;
            endAt = 0;
            const double t0 = monoMs();
            if (w == 0) {
                s.ImageValid = 0;
                modComFun::BuildCommand(link, modComFun::KindIdentify, s.NodeAddress, 0, 0);
            } else {
                modBinaryRW::StartImageWrite(s);
            }
            runUntil([&] { return over; }, 60000);
            if (endAt == 0)
                continue;
            if (w == 0)
                modBinaryRW::TakeImage(s); // as the menu takes a complete read
            const double took = (w == 0 ? monoMs() : endAt) - t0;
            addRun(w == 0 ? read : write, took, floorMs(g_events, first, g_events.size(), baud, false),
                   floorMs(g_events, first, g_events.size(), baud, true));
            collectLatency(sim, first, g_events.size(), quietMs(baud, early), latency);
        }
    }
    add(read);
    add(write);
}

// ---------------------------------------------------------------------------------------------
// zav-cli read and write, from its start to its exit

void cliImage(const QString& cli, const QString& device, int baud, bool early, int runs, const QString& dir)
{
    Row read = transferRow("image read, zav-cli", baud, early, 1.20, "process start to exit");
    Row write = transferRow("image write, zav-cli", baud, early, 1.20, "process start to exit");
    const QString site = QDir(dir).filePath(QStringLiteral("site.bin"));
    const QString traceFile = QDir(dir).filePath(QStringLiteral("cli.trace"));
    for (int i = 0; i < runs; ++i) {
        for (int w = 0; w < 2; ++w) {
            settle(100);
            QFile::remove(traceFile);
            if (w == 0)
                QFile::remove(site);
            QProcess p;
            const double t0 = monoMs();
            QStringList args{w == 0 ? QStringLiteral("read") : QStringLiteral("write"), site, QStringLiteral("--device"),
                             device, QStringLiteral("--settings"), QStringLiteral("%1,n,8,1").arg(baud),
                             QStringLiteral("--trace"), traceFile};
            if (early)
                args << QStringLiteral("--early-end");
            p.start(cli, args);
            p.waitForFinished(60000);
            const double took = monoMs() - t0;
            if (p.exitCode() != 0) {
                std::fprintf(stderr, "zav-cli %s failed: %s\n", w == 0 ? "read" : "write",
                             p.readAllStandardError().constData());
                continue;
            }
            // Bytes and answers from the trace: "<time> sent|taken <hex bytes> ...".
            QFile f(traceFile);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            double bytes = 0;
            int answers = 0;
            while (!f.atEnd()) {
                const QList<QByteArray> fields = f.readLine().simplified().split(' ');
                if (fields.size() < 2 || (fields[1] != "sent" && fields[1] != "taken"))
                    continue;
                for (int k = 2; k < fields.size() && fields[k].size() == 2; ++k)
                    ++bytes;
                if (fields[1] == "taken")
                    ++answers;
            }
            const double wire = bytes * 10.0 * 1000.0 / baud;
            addRun(w == 0 ? read : write, took, wire + quietMs(baud, false) * answers, wire + quietMs(baud, true) * answers);
        }
    }
    add(read);
    add(write);
}

// ---------------------------------------------------------------------------------------------
// The windows: waveform download and diagnostics log

struct Windows {
    Session s{std::make_unique<ScriptedDialogService>()};
    ScriptedDialogService& dialogs() { return static_cast<ScriptedDialogService&>(s.dialogs()); }

    Windows(const QString& device, int baud, bool early)
    {
        s.settings().setValue(QStringLiteral("Ports"), QStringLiteral("Com1"), device);
        s.settings().setValue(QStringLiteral("Properties"), QStringLiteral("Settings"), QStringLiteral("%1,n,8,1").arg(baud));
        s.StartUp();
        InstallWindowTool(s);
        s.link().interactive = false;
        s.link().EarlyEnd = early;
    }
};

// Each whole download of the pair and its figures, from the request of the upstream waveform's
// first block to the drawing of the pair once the figures have come.
void waveform(const QString& device, int baud, bool early, int runs, const Sim& sim, std::vector<double>& latency,
              std::optional<double>* cpuShare)
{
    Windows w(device, baud, early);
    frmplt& plot = w.s.windows().get<frmplt>();
    std::vector<double> drawnAt;
    w.s.routes().route(modComFun::PlotPoll, QStringLiteral("frmplt.PlotData"), [&] {
        const bool figures = w.s.link().RxBuffer[2] == 6;
        plot.PlotData();
        if (figures) {
            drawnAt.push_back(monoMs());
            poke();
        }
    });
    plot.show();
    plot.lstChan->setCurrentRow(0);
    settle(200);
    const std::size_t first = g_events.size();
    const double cpu0 = cpuMs(), t0 = monoMs();
    plot.cmdLive->click();
    // One download more than asked for: the first may start anywhere in the meter's cycle.
    runUntil([&] { return static_cast<int>(drawnAt.size()) > runs; }, 600000, !cpuShare);
    const double cpu = cpuMs() - cpu0, wall = monoMs() - t0;
    plot.Downloading = false;
    runUntil([&] { return !plot.PollOutstanding; }, 5000);
    plot.hide();
    if (cpuShare) {
        *cpuShare = 100.0 * cpu / wall;
        return;
    }

    Row row = transferRow("waveform 2 x 2048, frmplt", baud, early, 1.10);
    // A download starts at the request whose answer is slot 0, block mark 0.
    std::size_t d = 0;
    for (std::size_t i = first; i < g_events.size(); ++i) {
        const Event& e = g_events[i];
        if (e.sent || e.code != modComFun::PlotPoll || e.b2 != 0 || e.b3 != 0 || i == first)
            continue;
        const std::size_t start = i - 1; // its request
        // The figures answer that ends this download, and the drawing after it.
        std::size_t end = i;
        while (end < g_events.size() && !(!g_events[end].sent && g_events[end].code == modComFun::PlotPoll && g_events[end].b2 == 6))
            ++end;
        if (end >= g_events.size())
            break;
        while (d < drawnAt.size() && drawnAt[d] < g_events[end].at)
            ++d;
        if (d >= drawnAt.size())
            break;
        const double took = drawnAt[d] - g_events[start].at;
        addRun(row, took, floorMs(g_events, start, end + 1, baud, false), floorMs(g_events, start, end + 1, baud, true));
        collectLatency(sim, start, end + 1, quietMs(baud, early), latency);
    }
    add(row);
}

// The diagnostics log of channel A at 20 Hz with "Save to Disk?" answered Yes: polls per second
// over each run of 10 polls, against the line's ceiling for this window, one poll per exchange
// floor plus the 50 ms the period puts after each answer.
void diagnostics(const QString& device, int baud, bool early, int runs, const QString& dir, const Sim& sim,
                 std::vector<double>& latency, std::optional<double>* cpuShare, int seconds)
{
    Windows w(device, baud, early);
    frmLogdiag& diag = w.s.windows().get<frmLogdiag>();
    std::vector<double> handling;
    w.s.routes().route(modComFun::DiagData, QStringLiteral("frmLogdiag.Setformdiag"), [&] {
        const double t = monoMs();
        diag.Setformdiag();
        handling.push_back(monoMs() - t);
    });
    diag.show();
    w.dialogs().answers = {DialogService::Answer::Yes};
    w.dialogs().files = {QDir(dir).filePath(QStringLiteral("diag.txt"))};
    diag.cmbUpdate->setCurrentIndex(0);
    emit diag.cmbUpdate->activated(0);
    settle(200);
    const std::size_t first = g_events.size();
    const double cpu0 = cpuMs(), t0 = monoMs();
    diag.cmdStart->click();
    if (cpuShare) {
        settle(seconds * 1000);
        *cpuShare = 100.0 * (cpuMs() - cpu0) / (monoMs() - t0);
        diag.cmdClose->click();
        settle(300);
        return;
    }
    const int polls = 10;
    std::size_t taken = 0;
    runUntil([&] {
        taken = 0;
        for (std::size_t i = first; i < g_events.size(); ++i)
            taken += !g_events[i].sent;
        return static_cast<int>(taken) > polls * runs;
    }, 600000);
    diag.cmdClose->click();
    settle(300);

    std::vector<std::size_t> answers;
    for (std::size_t i = first; i < g_events.size(); ++i)
        if (!g_events[i].sent && g_events[i].code == modComFun::DiagData)
            answers.push_back(i);
    Row row{"diagnostics 20 Hz + log, frmLogdiag", baud, {}, 0.97, false, early ? "x wire ceil" : "x silence ceil", {},
            early ? 1 : 0, {}, {}, {}};
    const int period = diag.cmbUpdate->currentData().toInt();
    double exchange = 0;
    for (std::size_t r = 0; (r + 1) * polls < answers.size(); ++r) {
        const std::size_t a = answers[r * polls], b = answers[(r + 1) * polls];
        const double rate = polls * 1000.0 / (g_events[b].at - g_events[a].at);
        // The rate against 1 / (exchange floor + period), an exchange ended by either silence.
        exchange = floorMs(g_events, a - 1, a + 1, baud, early);
        const double defCeiling = 1000.0 / (floorMs(g_events, a - 1, a + 1, baud, false) + period);
        const double wireCeiling = 1000.0 / (floorMs(g_events, a - 1, a + 1, baud, true) + period);
        row.measured.push_back(rate);
        row.def.push_back(rate / defCeiling);
        row.wire.push_back(rate / wireCeiling);
        row.values.push_back(rate / (early ? wireCeiling : defCeiling));
    }
    collectLatency(sim, first, g_events.size(), quietMs(baud, early), latency);
    char note[200];
    std::snprintf(note, sizeof note, "ceiling %.2f polls/s = 1/(%.2f ms floor + %d ms period); answer handled in %.2f ms",
                  1000.0 / (exchange + period), exchange, period, quantile(handling, 0.5));
    row.note = note;
    add(row);
}

// ---------------------------------------------------------------------------------------------
// zav-interface from outside: start to first window, idle CPU, resident memory

struct ProcStat {
    double cpuMs = 0;
    double rssMb = 0;
};

ProcStat procStat(qint64 pid)
{
    ProcStat r;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
        // Fields 14 and 15 (utime, stime) are 11 and 12 after the name and state.
        if (f.size() > 12)
            r.cpuMs = (f[11].toDouble() + f[12].toDouble()) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                r.rssMb = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return r;
}

void windowTool(const QString& program, const QString& device, int runs, int seconds)
{
    Row start{"zav-interface start to first window", 0, {}, 300, true, "ms", {}};
    Row idle{"zav-interface idle CPU", 0, {}, 0.5, true, "% core", {}};
    Row rss{"zav-interface resident memory", 0, {}, 80, true, "MB", "the start window, idle"};
    {
        SettingsStore store;
        store.setValue(QStringLiteral("Ports"), QStringLiteral("Com1"), device);
    }
    const int n = std::max(1, std::min(runs, 5));
    for (int i = 0; i < n; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZAV_REPORT_SHOWN"), QStringLiteral("1"));
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        const double t0 = monoMs();
        p.start(program, {});
        if (!p.waitForStarted(5000))
            continue;
        double shownAt = 0;
        runUntil([&] {
            const QByteArray err = p.readAllStandardError();
            const int at = err.indexOf("first window shown at ");
            if (at >= 0)
                shownAt = err.mid(at + 22).split(' ').value(0).toDouble();
            return shownAt > 0 || p.state() == QProcess::NotRunning;
        }, 10000);
        if (shownAt > 0)
            start.values.push_back(shownAt - t0);
        settle(1000); // start-up settled: the start window waits for the user
        const ProcStat a = procStat(p.processId());
        const double w0 = monoMs();
        settle(seconds * 1000);
        const ProcStat b = procStat(p.processId());
        idle.values.push_back(100.0 * (b.cpuMs - a.cpuMs) / (monoMs() - w0));
        rss.values.push_back(b.rssMb);
        p.terminate();
        if (!p.waitForFinished(3000)) {
            p.kill();
            p.waitForFinished(3000);
        }
    }
    char note[96];
    std::snprintf(note, sizeof note, "over %d s, /proc/<pid>/stat, after start-up settled", seconds);
    idle.note = note;
    add(start);
    add(idle);
    add(rss);
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    prepareRun(dir);
    qInstallMessageHandler(onMessage);
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--help"))) {
        std::printf("zav-bench [--runs N] [--wave-runs N] [--baud 9600,115200] [--early-end off,on] [--seconds S] [--only items] [--dump FILE]\n"
                    "items: engine,cli,wave,diag,latency,cpu,tool (comma-separated)\n");
        return 0;
    }
    const int runs = option(args, QStringLiteral("--runs"), QStringLiteral("20")).toInt();
    const int waveRuns = option(args, QStringLiteral("--wave-runs"), QString::number(runs)).toInt();
    const int seconds = option(args, QStringLiteral("--seconds"), QStringLiteral("10")).toInt();
    const QStringList only = option(args, QStringLiteral("--only"), QStringLiteral("engine,cli,wave,diag,latency,cpu,tool"))
                                 .split(QLatin1Char(','));
    const QString bin = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    const QString cliProgram = bin + QStringLiteral("/tools/zav-cli/zav-cli");
    const QString toolProgram = bin + QStringLiteral("/src/app/zav-interface");

    std::printf("zav-bench: against zav-meter-sim on a pseudo-terminal, --turnaround 0, %d runs (waveform %d)\n",
                runs, waveRuns);
    std::printf("silence floor: bytes at 10 bits a byte + 50 ms per answer; wire's floor: the same bytes + 3.5\n"
                "character times per answer (at least 1.75 ms); measured: ms, or polls/s for the diagnostics\n");
    std::printf("%-36s %6s %5s %4s %9s %7s %7s %9s %9s  %-8s %-10s %s\n", "item", "baud", "early", "runs", "measured",
                "x sil", "x wire", "median", "p95/p05", "goal", "unit", "result");
    std::fflush(stdout);

    const bool wantLatency = only.contains(QStringLiteral("latency"));
    const QStringList modes = option(args, QStringLiteral("--early-end"), QStringLiteral("off,on")).split(QLatin1Char(','));
    for (const QString& b : option(args, QStringLiteral("--baud"), QStringLiteral("9600,115200")).split(QLatin1Char(','))) {
        const int baud = b.toInt();
        Sim sim;
        if (!sim.start(baud, QDir(dir.path()).filePath(QStringLiteral("sim-%1.log").arg(baud)))) {
            std::fprintf(stderr, "zav-bench: the meter simulator did not start\n");
            return 1;
        }
        std::vector<double> latency;
        for (const QString& mode : modes) {
            const bool early = mode == QLatin1String("on");
            std::vector<double> modeLatency;
            trace(true);
            if (only.contains(QStringLiteral("engine")))
                engineImage(sim.device, baud, early, runs, sim, modeLatency);
            if (only.contains(QStringLiteral("cli")))
                cliImage(cliProgram, sim.device, baud, early, runs, dir.path());
            if (only.contains(QStringLiteral("wave")))
                waveform(sim.device, baud, early, waveRuns, sim, modeLatency, nullptr);
            if (only.contains(QStringLiteral("diag")))
                diagnostics(sim.device, baud, early, runs, dir.path(), sim, modeLatency, nullptr, seconds);
            trace(false);
            if (wantLatency && !modeLatency.empty()) {
                Row row{early ? "end of answer - 3.5 chars of silence" : "end of answer - 50 ms silence", baud,
                        modeLatency, 1, true, "ms",
                        "every answer above (" + std::to_string(modeLatency.size()) + "), the p95 judged", early ? 1 : 0};
                add(row);
            }
        }
        if (const QString dump = option(args, QStringLiteral("--dump"), {}); !dump.isEmpty()) {
            // The monotonic trace and the simulator's answer ends, for a closer look.
            if (std::FILE* f = std::fopen(qPrintable(dump + QStringLiteral("-%1").arg(baud)), "w")) {
                for (const Event& e : g_events)
                    std::fprintf(f, "%.3f %s %d %u\n", e.at, e.sent ? "sent" : "taken", e.bytes, e.code);
                for (double end : sim.answerEnds())
                    std::fprintf(f, "%.3f end\n", end);
                std::fclose(f);
            }
        }
        g_events.clear();
        if (only.contains(QStringLiteral("cpu")) && baud == 115200) {
            // Trace off: the windows alone, at the fastest line.
            std::optional<double> diagCpu, waveCpu;
            diagnostics(sim.device, baud, false, runs, dir.path(), sim, latency, &diagCpu, seconds);
            waveform(sim.device, baud, false, std::max(3, runs / 2), sim, latency, &waveCpu);
            add(Row{"CPU: diagnostics 20 Hz + log, drawing", baud, {*diagCpu}, 3, true, "% core",
                    "in this process, offscreen, over " + std::to_string(seconds) + " s"});
            add(Row{"CPU: waveform download, drawing", baud, {*waveCpu}, 3, true, "% core",
                    "in this process, offscreen, continuous download"});
            rusage u{};
            getrusage(RUSAGE_SELF, &u);
            add(Row{"peak resident memory, windows open", 0, {u.ru_maxrss / 1024.0}, 80, true, "MB",
                    "this process (both windows, the engine, the trace)"});
        }
        if (only.contains(QStringLiteral("tool")) && baud == 115200)
            windowTool(toolProgram, sim.device, runs, seconds);
    }
    return 0;
}
