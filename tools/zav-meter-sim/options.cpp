#include "options.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {

namespace {

const char* const kDescription =
    "Plays the ZAV transit-time flow meter on a serial line for the ZAV Instrument Interface.\n"
    "\n"
    "Without --device it opens a pseudo-terminal in raw mode and prints the device path of its\n"
    "far end as the first line of standard output: point the tool's serial port at that path\n"
    "(or at the --link). With --device it opens that device and prints its path instead.\n"
    "\n"
    "A request is recognised by its length: 10 bytes for code 30, 12 for 46, 2w+10 for 33\n"
    "(w = byte 4), 8 for the others; a request left incomplete is given up after 100 ms of\n"
    "silence. The meter answers identification (34), image read (32; the request after the\n"
    "last block gets 37), image write (33; the last block gets 37, or 93 when the image did not\n"
    "arrive whole and in order), live data (30), diagnostics (31), raw signal download (35),\n"
    "zero calibration (38) and output trim (46; 36 for loop 99) with one frame each, and stays\n"
    "silent for requests for another node, with a bad CRC, a wrong access code or an unknown\n"
    "function code. On a pseudo-terminal a request counts as arrived once its bytes would have\n"
    "crossed the line at the --baud rate; answers leave at that rate after the --turnaround and\n"
    "are always shorter than 256 bytes.\n"
    "\n"
    "It runs until SIGINT or SIGTERM, then prints one summary line (answers per request code,\n"
    "requests ignored, faults injected) and exits 0. Bad options print this usage and exit 2;\n"
    "a line, site file or log that cannot be opened exits 1.\n"
    "\n"
    "Faults are drawn from a random stream seeded by --seed, so a run can be repeated: each\n"
    "answer is withheld, corrupted, split, preceded by noise, sent as another node's or sent late\n"
    "with the given probability (0 to 1).";

struct Spec {
    const char* name;
    const char* value; // nullptr for a flag
    const char* help;
};

const Spec kSpecs[] = {
    {"link", "path", "Also make a symbolic link at <path> to the pseudo-terminal (replaced if it is a link; removed at exit)."},
    {"device", "path", "Open this serial device (raw, 8N1 at --baud) instead of a pseudo-terminal."},
    {"node", "n", "Node address the meter answers to, 1..247 (default 17)."},
    {"nodes", "list", "Several meters on one line, by node (e.g. 3,7,12; 1..247 each, at most 16): each answers its own node only, the first also the Poll node 17; the k-th (from 0) has serial number --serial + k and the factory image of its node (--image and --save are the first one's)."},
    {"baud", "n", "Line rate: answers leave at n baud, 10 bits a byte (default 9600)."},
    {"turnaround", "ms", "Silence between the end of a request and the answer (default 5)."},
    {"chunk-words", "n", "Image words per read block (code 32), 1..122 (default 122)."},
    {"block-samples", "n", "Samples per waveform block (code 35), 1..122 (default 122)."},
    {"samples", "n", "Samples per waveform, 1..2048 (default 1024)."},
    {"model", "n", "Model code in the identification answer, 0..255 (default 1)."},
    {"version", "n", "Firmware version in the identification answer, 0..255 (default 3)."},
    {"serial", "n", "Serial number in the identification answer, 0..65535 (default 12345)."},
    {"image", "file", "Load the meter's image from a site file (3-byte head and 1452 image bytes, matching checksum) instead of the built-in factory image."},
    {"save", nullptr, "Write each image the tool writes to the meter back to the --image file (replaced safely)."},
    {"status-a", "n", "Status code (live data byte 49, diagnostics error byte) of channel A, 0..255 (default 0)."},
    {"status-b", "n", "Status code of channel B, 0..255 (default 0)."},
    {"zero-delta", "s", "Zero-flow delta time in the zero calibration answer (default 1e-10)."},
    {"zero-delta-b", "s", "Zero-flow delta of channel B when it differs from --zero-delta."},
    {"zero-status", "n", "Status byte of the zero calibration answer, 0..255 (default 0)."},
    {"seed", "n", "Seed of the fault and measurement noise streams (default 1)."},
    {"drop", "p", "Probability that an answer is withheld."},
    {"drop-zero", "n", "Withhold the answer to the n-th zero calibration request (default 0: none)."},
    {"corrupt", "p", "Probability that one CRC byte of an answer is changed."},
    {"split", "p", "Probability that an answer is sent in two parts 80 ms apart."},
    {"noise", "p", "Probability that stray bytes go out just before an answer."},
    {"foreign", "p", "Probability that an answer comes as another node's (good CRC, other address)."},
    {"delay", "ms", "Send every answer this much later than the turnaround (default 0)."},
    {"pause-inside", "ms", "Send every answer in two halves with this much silence between them (default 0: whole). An answer split by --split keeps its 80 ms."},
    {"late", "code:k:ms", "Answer the k-th request of function code <code> ms late, after the turnaround (may be given more than once). The meter works one request at a time: requests that arrive meanwhile are answered after it."},
    {"late-p", "p", "Probability that an answer comes --late-ms late."},
    {"late-ms", "ms", "How late a --late-p answer comes (default 3400: past the tool's 3 s time-out)."},
    {"log", "file", "Write every request and answer to this file as a time-stamped hex line."},
    {"log-ends", nullptr, "Also log \"TX end <ms>\" when the last byte of each answer is written, in milliseconds of CLOCK_MONOTONIC."},
};

struct Fail {
    std::string message;
};

long integerValue(const QCommandLineParser& p, const char* name, long lo, long hi)
{
    bool ok = false;
    const QString text = p.value(QString::fromLatin1(name));
    const long v = text.toLong(&ok, 10);
    if (!ok || v < lo || v > hi)
        throw Fail{"--" + std::string(name) + " wants a whole number from " + std::to_string(lo) + " to " +
                   std::to_string(hi) + ", not \"" + text.toStdString() + "\""};
    return v;
}

double probabilityValue(const QCommandLineParser& p, const char* name)
{
    bool ok = false;
    const QString text = p.value(QString::fromLatin1(name));
    const double v = text.toDouble(&ok);
    if (!ok || !(v >= 0.0 && v <= 1.0))
        throw Fail{"--" + std::string(name) + " wants a probability from 0 to 1, not \"" + text.toStdString() + "\""};
    return v;
}

} // namespace

ParseResult ParseOptions(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    for (const Spec& s : kSpecs) {
        if (s.value)
            parser.addOption(QCommandLineOption(QString::fromLatin1(s.name), QString::fromLatin1(s.help),
                                                QString::fromLatin1(s.value)));
        else
            parser.addOption(QCommandLineOption(QString::fromLatin1(s.name), QString::fromLatin1(s.help)));
    }

    ParseResult r;
    const std::string usage = parser.helpText().toStdString();
    if (!parser.parse(args)) {
        r.exitCode = 2;
        r.err = "zav-meter-sim: " + parser.errorText().toStdString() + "\n\n" + usage;
        return r;
    }
    if (parser.isSet(help)) {
        r.exitCode = 0;
        r.out = usage;
        return r;
    }
    try {
        if (!parser.positionalArguments().isEmpty())
            throw Fail{"unexpected argument \"" + parser.positionalArguments().first().toStdString() + "\""};
        SimOptions& o = r.options;
        MeterConfig& m = o.meter;
        auto has = [&](const char* n) { return parser.isSet(QString::fromLatin1(n)); };
        auto text = [&](const char* n) { return parser.value(QString::fromLatin1(n)).toStdString(); };

        if (has("node"))
            m.node = static_cast<std::uint8_t>(integerValue(parser, "node", 1, 247));
        if (has("nodes")) {
            for (const QString& n : parser.value(QStringLiteral("nodes")).split(QLatin1Char(','))) {
                bool ok = false;
                const int node = n.trimmed().toInt(&ok);
                if (!ok || node < 1 || node > 247 || std::find(o.nodes.begin(), o.nodes.end(), node) != o.nodes.end())
                    throw Fail{"--nodes wants different node addresses 1..247 separated by commas, not \"" + text("nodes") + "\""};
                o.nodes.push_back(node);
            }
            if (o.nodes.size() > 16)
                throw Fail{"--nodes takes at most 16 meters"};
            if (has("node"))
                throw Fail{"--node is one meter's address; it does not go with --nodes"};
        }
        if (has("baud"))
            m.baud = static_cast<int>(integerValue(parser, "baud", 50, 4000000));
        if (has("turnaround"))
            m.turnaroundMs = static_cast<int>(integerValue(parser, "turnaround", 0, 60000));
        if (has("chunk-words"))
            m.chunkWords = static_cast<int>(integerValue(parser, "chunk-words", 1, kMaxChunkWords));
        if (has("block-samples"))
            m.blockSamples = static_cast<int>(integerValue(parser, "block-samples", 1, kMaxBlockSamples));
        if (has("samples"))
            m.samples = static_cast<int>(integerValue(parser, "samples", 1, kMaxSamples));
        if (has("model"))
            m.model = static_cast<std::uint8_t>(integerValue(parser, "model", 0, 255));
        if (has("version"))
            m.version = static_cast<std::uint8_t>(integerValue(parser, "version", 0, 255));
        if (has("serial"))
            m.serial = static_cast<std::uint16_t>(integerValue(parser, "serial", 0, 65535));
        if (has("status-a"))
            m.statusA = static_cast<std::uint8_t>(integerValue(parser, "status-a", 0, 255));
        if (has("status-b"))
            m.statusB = static_cast<std::uint8_t>(integerValue(parser, "status-b", 0, 255));
        if (has("zero-status"))
            m.zeroStatus = static_cast<std::uint8_t>(integerValue(parser, "zero-status", 0, 255));
        auto seconds = [&](const char* n) {
            bool ok = false;
            const double v = parser.value(QString::fromLatin1(n)).toDouble(&ok);
            if (!ok || !std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max())
                throw Fail{"--" + std::string(n) + " wants a number of seconds, not \"" + text(n) + "\""};
            return static_cast<float>(v);
        };
        if (has("zero-delta"))
            m.zeroDelta = seconds("zero-delta");
        if (has("zero-delta-b"))
            m.zeroDeltaB = seconds("zero-delta-b");
        if (has("drop-zero"))
            m.dropZero = static_cast<int>(integerValue(parser, "drop-zero", 0, 1000000));
        if (has("seed")) {
            bool ok = false;
            const qulonglong v = parser.value(QStringLiteral("seed")).toULongLong(&ok, 10);
            if (!ok)
                throw Fail{"--seed wants a whole number, not \"" + text("seed") + "\""};
            m.seed = v;
        }
        if (has("drop"))
            m.drop = probabilityValue(parser, "drop");
        if (has("corrupt"))
            m.corrupt = probabilityValue(parser, "corrupt");
        if (has("split"))
            m.split = probabilityValue(parser, "split");
        if (has("noise"))
            m.noise = probabilityValue(parser, "noise");
        if (has("foreign"))
            m.foreign = probabilityValue(parser, "foreign");
        if (has("delay"))
            m.delayMs = static_cast<int>(integerValue(parser, "delay", 0, 600000));
        if (has("pause-inside"))
            m.pauseInsideMs = static_cast<int>(integerValue(parser, "pause-inside", 0, 60000));
        for (const QString& v : parser.values(QStringLiteral("late"))) {
            const QStringList parts = v.split(QLatin1Char(':'));
            bool ok = parts.size() == 3;
            LateAnswer late;
            if (ok) {
                bool a = false, b = false, c = false;
                const int code = parts[0].toInt(&a);
                const long k = parts[1].toLong(&b);
                const int ms = parts[2].toInt(&c);
                ok = a && b && c && code >= 0 && code <= 255 && k >= 1 && ms >= 0 && ms <= 600000;
                late = {static_cast<std::uint8_t>(code), k, ms};
            }
            if (!ok)
                throw Fail{"--late wants code:k:ms (a function code 0..255, a request count from 1 and 0..600000 ms), not \"" +
                           v.toStdString() + "\""};
            m.late.push_back(late);
        }
        if (has("late-p"))
            m.lateP = probabilityValue(parser, "late-p");
        if (has("late-ms"))
            m.lateMs = static_cast<int>(integerValue(parser, "late-ms", 0, 600000));

        auto path = [&](const char* n, std::string& into) {
            if (!has(n))
                return;
            into = text(n);
            if (into.empty())
                throw Fail{"--" + std::string(n) + " wants a path"};
        };
        path("link", o.linkPath);
        path("device", o.devicePath);
        path("image", o.imagePath);
        path("log", o.logPath);
        o.save = has("save");
        o.logEnds = has("log-ends");
        if (o.logEnds && o.logPath.empty())
            throw Fail{"--log-ends goes into the --log file; give --log too"};
        if (!o.devicePath.empty() && !o.linkPath.empty())
            throw Fail{"--link makes a link to the pseudo-terminal; it does not go with --device"};
        if (o.save && o.imagePath.empty())
            throw Fail{"--save writes back to the --image file; give --image too"};
    } catch (const Fail& f) {
        r.exitCode = 2;
        r.err = "zav-meter-sim: " + f.message + "\n\n" + usage;
    }
    return r;
}

} // namespace sim
