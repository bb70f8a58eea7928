// zav-faults: image reads and writes through the window tool itself (its windows, routes and
// link, offscreen) against the meter simulator on a bad line, one line fault at a time, and
// whether anything was lost on the way. The zav-cli half of the same runs is bench/faults.sh,
// which also starts this program.
//
// Each fault gets its own simulator keeping its image in a site file (--image, --save). The runs
// take turns:
//   - read: the start window's Setup button (identification and read), then the menu's Reload;
//     each time, if the menu offers Store, a site file is stored through it. The "Work Offline?" question after a failure is answered No and Yes in turn, so
//     the offline menu a technician would then work in is checked too.
//   - write: site file A or B (A with another meter name) recalled in the menu and sent.
// Lost, for each run:
//   - a hang: neither the end of the exchange nor a reported failure within 30 s;
//   - a site file stored that is not the meter's image byte for byte (after a failed read too);
//   - a meter image afterwards that is neither the one before nor the one sent, or not the one
//     sent when the meter confirmed it (37);
//   - a write the meter refused (93) or a read or write that stopped, with no box telling the user.
//
//   zav-faults [--exchanges N] [--seed S] [--faults "drop corrupt ..."] [--early-end] [--verbose]
//
// --early-end runs the link with early end of answer, the port set to the simulator's rate.

#include "benchmain.h"
#include "meterdata/frmConfig.h"
#include "platform/picturebutton.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/simprocess.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

constexpr int kBaud = 115200;
constexpr int kRunMs = 30000;

using testbytes::fileBytes;

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton);
}

QStringList simOptions(const QString& image, const QStringList& more)
{
    return QStringList{"--baud", QString::number(kBaud), "--turnaround", "0", "--image", image, "--save"} + more;
}

bool g_earlyEnd = false;

// The window tool as main builds it (the tests' session on a real port), with scripted boxes and
// file dialogs, counting the requests sent and noting how image transfers close.
struct Tool {
    TestSession t{TestSession::Port::Real};
    ScriptedDialogService* dialogs = t.dialogs;
    Session* session = t.session.get();
    int sent = 0;
    int closing = 0; // the last closing answer of an image transfer: 37, 93 (0 none yet)

    explicit Tool(const QString& device)
    {
        session->settings().setValue(QStringLiteral("Ports"), QStringLiteral("Com1"), device);
        session->onLink(session, [this](frmCDR& link) {
            if (g_earlyEnd) {
                link.EarlyEnd = true;
                link.MSComm1->setSettings(QStringLiteral("%1,n,8,1").arg(kBaud), nullptr);
            }
            QObject::connect(&link, &frmCDR::requestSent, session, [this] { ++sent; });
            QObject::connect(&link, &frmCDR::answerAccepted, session, [this](quint8 code) {
                if (code == modComFun::TransferDone || code == modComFun::WriteRefused)
                    closing = code;
            });
        });
        start().show();
    }
    frmStart& start() { return session->windows().get<frmStart>(); }
    frmConfig& menu() { return session->windows().get<frmConfig>(); }
    // The menu's picture of the current language in one of its arrays.
    PictureButton* menuButton(LanguageArray frmConfig::*array) { return (menu().*array)[session->Language]; }
    bool offers(LanguageArray frmConfig::*array) { return menu().isVisible() && menuButton(array)->isVisibleTo(&menu()); }
    // No request in flight, and the line quiet long enough for a late answer to have ended.
    void quiet()
    {
        TestSession::waitFor([this] { return !session->hasLink() || !session->link().tmrTimeOut->isActive(); }, 4000);
        TestSession::pump(120);
    }
};

struct Tally {
    int runs = 0;
    int exchanges = 0;
    int failures = 0;
    int lost = 0;
};

// The fault runs against one simulator; two reads and a write in turn until `want` requests went out.
Tally runFault(const QString& fault, const QString& value, int want, int seed, const QString& dir, const QByteArray& A,
               const QByteArray& B, bool verbose, QString& injected)
{
    Tally t;
    const QString meterFile = dir + QStringLiteral("/meter.bin");
    testbytes::writeFile(meterFile, A);
    SimProcess sim(simOptions(meterFile, {"--seed", QString::number(seed), "--" + fault, value}));
    if (!sim.ok()) {
        std::fprintf(stderr, "zav-faults: the meter simulator did not start\n");
        return t;
    }
    Tool tool(sim.device());
    auto lose = [&](const QString& why) {
        ++t.lost;
        std::fprintf(stderr, "  --%s run %d: %s\n", qPrintable(fault), t.runs, qPrintable(why));
    };

    while (tool.sent < want) {
        ++t.runs;
        tool.quiet();
        const QByteArray before = fileBytes(meterFile);
        const int asked = tool.dialogs->asked.size();
        const bool offline = ((t.runs / 3) & 1) != 0; // each kind of run sees both answers
        tool.dialogs->answers = {offline ? DialogService::Answer::Yes : DialogService::Answer::No};
        auto reported = [&] { return tool.dialogs->asked.size() > asked; };
        QString what;
        bool failed = false;

        if (t.runs % 3 != 0) {
            // Setup from the start window, then Reload from the menu (shown first if a failure
            // took the tool back to the start window).
            const bool reload = t.runs % 3 == 2;
            what = reload ? QStringLiteral("reload") : QStringLiteral("setup read");
            if (reload) {
                tool.menu().show();
                tool.start().hide();
                click(tool.menu().imgReload);
            } else {
                if (tool.menu().isVisible())
                    click(tool.menu().imgBack);
                click(tool.start().imgSetup[tool.session->Language]);
            }
            const bool ended = TestSession::waitFor([&] { return tool.offers(&frmConfig::imgStore) || reported(); }, kRunMs);
            failed = reported();
            if (!ended) {
                lose(what + QStringLiteral(": neither the image nor a failure reported in 30 s"));
            } else if (tool.offers(&frmConfig::imgStore)) {
                // What a technician would do next: keep the site file. After a failed read the
                // menu must not offer it at all.
                const QString site = dir + QStringLiteral("/read.bin");
                QFile::remove(site);
                tool.dialogs->files = {site};
                click(tool.menuButton(&frmConfig::imgStore));
                if (fileBytes(site) != fileBytes(meterFile))
                    lose(what + (failed ? QStringLiteral(": a site file was stored after a failed read")
                                        : QStringLiteral(": the site file stored is not the meter's image")));
            }
        } else {
            // The next image: B while the meter holds A, A otherwise; recalled in the menu and sent.
            const bool toB = before == A;
            const QString next = dir + (toB ? QStringLiteral("/B.bin") : QStringLiteral("/A.bin"));
            testbytes::writeFile(next, toB ? B : A);
            what = QStringLiteral("write");
            tool.menu().show();
            tool.start().hide();
            tool.dialogs->files = {next};
            click(tool.menuButton(&frmConfig::imgRecall));
            tool.closing = 0;
            if (!tool.offers(&frmConfig::imgSendSite)) {
                lose(QStringLiteral("write: the recalled site file is not offered for sending"));
                continue;
            }
            click(tool.menuButton(&frmConfig::imgSendSite));
            const bool ended = TestSession::waitFor([&] { return tool.closing != 0 || reported(); }, kRunMs);
            failed = reported() || tool.closing == modComFun::WriteRefused;
            const QByteArray after = fileBytes(meterFile);
            if (!ended)
                lose(QStringLiteral("write: neither the meter's answer nor a failure reported in 30 s"));
            else if (tool.closing == modComFun::WriteRefused && !reported())
                lose(QStringLiteral("write: the meter refused the image and nobody was told"));
            else if (tool.closing == modComFun::TransferDone && after != fileBytes(next))
                lose(QStringLiteral("write: the meter confirmed an image that is not the one sent"));
            else if (after != before && after != fileBytes(next))
                lose(QStringLiteral("write: the meter holds neither the old nor the new image"));
        }
        if (failed)
            ++t.failures;
        if (verbose)
            std::fprintf(stderr, "  --%s run %d %s: %s, %d sent so far\n", qPrintable(fault), t.runs, qPrintable(what),
                         failed ? qPrintable(tool.dialogs->transcript().value(asked)) : "ok", tool.sent);
    }
    t.exchanges = tool.sent;
    tool.quiet();
    const QString summary = sim.stop();
    const QString key = fault == QStringLiteral("late-p") ? QStringLiteral("late") : fault;
    const QRegularExpressionMatch m = QRegularExpression(key + QStringLiteral(":(\\d+)")).match(summary);
    injected = m.hasMatch() ? m.captured(1) : QStringLiteral("?");
    return t;
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir dir;
    prepareRun(dir);
    // The windows' platform notices (raise, grabs) are not part of the table.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--help"))) {
        std::printf("zav-faults [--exchanges N] [--seed S] [--faults \"drop corrupt split noise foreign delay late-p\"] [--early-end] [--verbose]\n");
        return 0;
    }
    const int want = option(args, QStringLiteral("--exchanges"), QStringLiteral("1000")).toInt();
    const int seed = option(args, QStringLiteral("--seed"), QStringLiteral("1")).toInt();
    const QStringList only = option(args, QStringLiteral("--faults"), QString()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const bool verbose = args.contains(QStringLiteral("--verbose"));
    g_earlyEnd = args.contains(QStringLiteral("--early-end"));

    // Site file A: the meter's factory image, read and stored through the tool on a clean line.
    // Site file B: A with another meter name ("ZAV METER" becomes "ZAV METEX"), checksum made good.
    QByteArray A;
    {
        const QString clean = dir.filePath(QStringLiteral("clean.bin"));
        SimProcess sim(QStringList{"--baud", QString::number(kBaud), "--turnaround", "0"});
        Tool tool(sim.device());
        click(tool.start().imgSetup[tool.session->Language]);
        if (sim.ok() && TestSession::waitFor([&] { return tool.offers(&frmConfig::imgStore); }, kRunMs)) {
            tool.dialogs->files = {clean};
            click(tool.menuButton(&frmConfig::imgStore));
            A = fileBytes(clean);
        }
        tool.quiet();
    }
    const int at = A.indexOf("ZAV METER");
    if (A.size() != 1455 || at < 0) {
        std::fprintf(stderr, "zav-faults: no factory image read on a clean line\n");
        return 1;
    }
    QByteArray B = A;
    B[at + 8] = 'X';
    int sum = 0;
    for (int i = 3; i < B.size(); ++i)
        sum += static_cast<std::uint8_t>(B[i]);
    B[2] = static_cast<char>(sum & 0xFF);

    std::printf("the window tool (zav-interface's windows, offscreen) at %d baud, 5 %% faults, seed %d%s\n", kBaud, seed,
                g_earlyEnd ? ", early end of answer" : "");
    std::printf("%-10s %6s %10s %8s %10s %10s\n", "fault", "runs", "exchanges", "injected", "failures", "data lost");
    std::fflush(stdout);
    // Each fault at 5 %; --delay takes milliseconds, 5 % of the link's 3 s answer time; --late-p
    // sends 5 % of the answers 3.4 s late, after the link has given up on them.
    const QList<QPair<QString, QString>> faults{{"drop", "0.05"},  {"corrupt", "0.05"}, {"split", "0.05"},
                                                 {"noise", "0.05"}, {"foreign", "0.05"}, {"delay", "150"},
                                                 {"late-p", "0.05"}};
    int lost = 0;
    for (const auto& [fault, value] : faults) {
        if (!only.isEmpty() && !only.contains(fault))
            continue;
        const QString sub = dir.filePath(fault);
        QDir().mkpath(sub);
        QString injected;
        const Tally t = runFault(fault, value, want, seed, sub, A, B, verbose, injected);
        lost += t.lost;
        std::printf("%-10s %6d %10d %8s %10d %10d\n", qPrintable("--" + fault), t.runs, t.exchanges, qPrintable(injected),
                    t.failures, t.lost);
        std::fflush(stdout);
    }
    return lost == 0 ? 0 : 1;
}
