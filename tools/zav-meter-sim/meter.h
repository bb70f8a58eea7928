#pragma once
// The meter as the tool sees it over the line: request frames in, answer frames out. It keeps the
// meter's state between requests (the parameter image, the image read and write in progress, the
// batch, the waveform download cycle) and decides, from a seeded random stream, which answers go
// wrong on the way and how. Nothing here touches a port or a clock: the caller gives each request's
// arrival time and puts the answer's pieces on the line.

#include "imagefile.h"
#include "process.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim {

inline constexpr int kMaxChunkWords = 122;   // 8 + 2 x 122 + 2 = 254 bytes: under the tool's 256-byte buffer
inline constexpr int kMaxBlockSamples = 122;
inline constexpr int kMaxSamples = 2048;
inline constexpr double kSplitGapMs = 80.0;
// After this long without the next request, a read or a waveform download is taken as abandoned
// (the tool gives up waiting for an answer after 3 s) and the next request starts a new one.
inline constexpr double kAbandonMs = 3000.0;

// The k-th request (1, 2, ...) of a function code is answered ms late.
struct LateAnswer {
    std::uint8_t code = 0;
    long k = 0;
    int ms = 0;
};

struct MeterConfig {
    std::uint8_t node = 17;
    // Also answers requests to the "Poll" node 17 (the first meter of several on one line).
    bool answersPoll = false;
    std::uint8_t model = 1;
    std::uint8_t version = 3;
    std::uint16_t serial = 12345;
    int chunkWords = kMaxChunkWords;
    int blockSamples = kMaxBlockSamples;
    int samples = 1024;
    float zeroDelta = 1e-10f;
    std::uint8_t zeroStatus = 0;
    // Channel B's delta when it differs from channel A's.
    std::optional<float> zeroDeltaB{};
    // The zero calibration request (1, 2, ...) whose answer is withheld; 0 for none.
    int dropZero = 0;
    std::uint8_t statusA = 0;
    std::uint8_t statusB = 0;
    // Pacing, used here only to tell when an answer will have left the line.
    int baud = 9600;
    int turnaroundMs = 5;
    // Faults: probabilities per answer, and a delay added to every answer.
    std::uint64_t seed = 1;
    double drop = 0, corrupt = 0, split = 0, noise = 0, foreign = 0;
    int delayMs = 0;
    // Every answer (not split by a fault) goes out in two halves with this pause between them.
    int pauseInsideMs = 0;
    // Answers that come late: chosen ones, and each with probability lateP by lateMs.
    std::vector<LateAnswer> late;
    double lateP = 0;
    int lateMs = 3400;
};

enum Fault : unsigned {
    FaultDrop = 1u << 0,
    FaultCorrupt = 1u << 1,
    FaultSplit = 1u << 2,
    FaultNoise = 1u << 3,
    FaultForeign = 1u << 4,
    FaultDelay = 1u << 5,
    FaultLate = 1u << 6,
};

// A run of answer bytes put on the line after gapMs of silence: for the first piece the silence
// after the request, for a later piece the silence after the piece before it.
struct Piece {
    double gapMs = 0;
    std::vector<std::uint8_t> bytes;
};

struct Reply {
    std::uint8_t requestCode = 0;
    std::vector<std::uint8_t> answer; // the answer as the meter meant it
    std::vector<Piece> pieces;        // what goes on the line; empty when the answer is withheld
    unsigned faults = 0;
};

enum class Verdict {
    Answered,
    TooShort,
    BadCrc,
    OtherNode,
    BadAccessCode,
    UnknownCode,
    WrongLength,
};
const char* VerdictText(Verdict v);

struct Outcome {
    Verdict verdict = Verdict::Answered;
    Reply reply; // valid when verdict is Answered
};

struct MeterStats {
    std::map<int, long> answered; // by request code; withheld answers are not counted
    long ignored = 0;
    long drop = 0, corrupt = 0, split = 0, noise = 0, foreign = 0, delay = 0, late = 0;

    MeterStats& operator+=(const MeterStats& o);
};

// One line: answers per request code, ignored requests, faults injected.
std::string SummaryLine(const MeterStats& stats);

class Meter {
public:
    explicit Meter(MeterConfig config, Image image);
    explicit Meter(MeterConfig config) : Meter(config, FactoryImage(config.node)) {}

    // One request frame (as cut by the frame splitter), arrived at nowMs.
    Outcome handle(const std::vector<std::uint8_t>& request, double nowMs);

    const Image& image() const { return m_image; }
    const MeterConfig& config() const { return m_config; }
    const MeterStats& stats() const { return m_stats; }
    FlowProcess& process() { return m_process; }
    // One line: answers per request code, ignored requests, faults injected.
    std::string summary() const;

    // Called with the new image each time a complete write replaces the meter's image.
    std::function<void(const Image&)> onImageAccepted;

    // Time the line takes to carry n bytes at the given baud rate, 10 bits a byte.
    static double WireMs(std::size_t bytes, int baud);

private:
    std::vector<std::uint8_t> answer(const std::vector<std::uint8_t>& req, double nowMs);
    std::vector<std::uint8_t> readImage(double nowMs);
    std::vector<std::uint8_t> writeImage(const std::vector<std::uint8_t>& req);
    std::vector<std::uint8_t> plotBlock(const std::vector<std::uint8_t>& req, double nowMs);
    // nth: this request is the nth of its code.
    Reply deliver(std::uint8_t code, std::vector<std::uint8_t> answer, long nth);
    double endOfReply(const Reply& r, double nowMs) const;
    std::vector<std::uint8_t> frame(std::uint8_t code, const std::vector<std::uint8_t>& payload) const;

    MeterConfig m_config;
    Image m_image;
    FlowProcess m_process;
    std::mt19937_64 m_faultRng;
    MeterStats m_stats;

    // The node the request being answered was addressed to (the own node, or 17 when polled).
    std::uint8_t m_addressed = 17;

    // Image read: words handed out so far; after the last block the next request gets "done".
    bool m_reading = false;
    int m_readWords = 0;
    double m_readIdleFrom = 0;

    // Image write: blocks arrived since the first one.
    bool m_writing = false;
    bool m_writeBroken = false;
    Image m_writeBuffer;

    // Waveform download: upstream (slot 0), downstream (slot 1), figures (slot 6), again and again.
    bool m_plotting = false;
    int m_plotChannel = 0;
    int m_plotStage = 0;
    int m_plotPos = 0;
    double m_plotIdleFrom = 0;
    FlowProcess::Waveforms m_waves;

    // Zero calibration requests answered or withheld so far.
    int m_zeroRequests = 0;
    // Requests taken so far, by function code.
    std::map<int, long> m_requests;
};

} // namespace sim
