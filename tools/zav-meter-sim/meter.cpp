#include "meter.h"

#include "framesplitter.h"
#include "link/modComFun.h"

#include <algorithm>
#include <sstream>

namespace sim {

namespace mc = modComFun;

const char* VerdictText(Verdict v)
{
    switch (v) {
    case Verdict::Answered:
        return "answered";
    case Verdict::TooShort:
        return "too short";
    case Verdict::BadCrc:
        return "bad CRC";
    case Verdict::OtherNode:
        return "for another node";
    case Verdict::BadAccessCode:
        return "wrong access code";
    case Verdict::UnknownCode:
        return "unknown function code";
    case Verdict::WrongLength:
        return "wrong length for its code";
    }
    return "?";
}

Meter::Meter(MeterConfig config, Image image)
    : m_config(config), m_image(std::move(image)), m_process(config.seed), m_faultRng(config.seed)
{
    m_image.resize(kImageBytes, 0);
    m_addressed = m_config.node;
    m_config.chunkWords = std::clamp(m_config.chunkWords, 1, kMaxChunkWords);
    m_config.blockSamples = std::clamp(m_config.blockSamples, 1, kMaxBlockSamples);
    m_config.samples = std::clamp(m_config.samples, 1, kMaxSamples);
}

double Meter::WireMs(std::size_t bytes, int baud)
{
    return baud > 0 ? static_cast<double>(bytes) * 10.0 * 1000.0 / baud : 0.0;
}

std::vector<std::uint8_t> Meter::frame(std::uint8_t code, const std::vector<std::uint8_t>& payload) const
{
    return mc::AnswerFrame(m_addressed, code, payload);
}

Outcome Meter::handle(const std::vector<std::uint8_t>& req, double nowMs)
{
    Outcome out;
    if (req.size() < 6)
        out.verdict = Verdict::TooShort;
    else if (!mc::CrcMatches(req.data(), req.size()))
        out.verdict = Verdict::BadCrc;
    else if (req[0] != m_config.node && !(m_config.answersPoll && req[0] == mc::kPollNode))
        out.verdict = Verdict::OtherNode;
    else if (mc::GetWordAt(req.data(), 2) != mc::kAccessCode)
        out.verdict = Verdict::BadAccessCode;
    else if (req.size() != FrameSplitter::RequestLength(req.data(), req.size()))
        out.verdict = Verdict::WrongLength;
    if (out.verdict != Verdict::Answered) {
        ++m_stats.ignored;
        return out;
    }
    m_addressed = req[0];
    std::vector<std::uint8_t> a = answer(req, nowMs);
    if (a.empty()) {
        out.verdict = Verdict::UnknownCode;
        ++m_stats.ignored;
        return out;
    }
    out.reply = deliver(req[1], std::move(a), ++m_requests[req[1]]);
    if (req[1] == mc::ZeroCal && ++m_zeroRequests == m_config.dropZero && !out.reply.pieces.empty()) {
        out.reply.pieces.clear();
        out.reply.faults |= FaultDrop;
        ++m_stats.drop;
    }
    // A transfer in progress counts its idle time from when its last answer has left the line.
    const double end = endOfReply(out.reply, nowMs);
    if (req[1] == mc::ReadImage)
        m_readIdleFrom = end;
    else if (req[1] == mc::PlotPoll)
        m_plotIdleFrom = end;
    if (!out.reply.pieces.empty())
        ++m_stats.answered[req[1]];
    return out;
}

std::vector<std::uint8_t> Meter::answer(const std::vector<std::uint8_t>& req, double nowMs)
{
    const double t = nowMs / 1000.0;
    switch (req[1]) {
    case mc::Identify:
        // A new session: an image read left unfinished starts again with the next read request.
        m_reading = false;
        return frame(mc::Identify, {0, 0, m_config.model, m_config.version,
                                    static_cast<std::uint8_t>(m_config.serial & 0xFF),
                                    static_cast<std::uint8_t>(m_config.serial >> 8)});
    case mc::ReadImage:
        return readImage(nowMs);
    case mc::WriteImage:
        return writeImage(req);
    case mc::LiveData: {
        const int channel = req[4] & 1;
        const std::uint8_t status = channel == 0 ? m_config.statusA : m_config.statusB;
        return frame(mc::LiveData, m_process.liveData(channel, req[5], t, m_image, status));
    }
    case mc::DiagData: {
        const int channel = req[4] & 1;
        const std::uint8_t status = channel == 0 ? m_config.statusA : m_config.statusB;
        return frame(mc::DiagData, m_process.diagnostics(channel, t, m_image, status));
    }
    case mc::PlotPoll:
        return plotBlock(req, nowMs);
    case mc::ZeroCal: {
        std::vector<std::uint8_t> p(8, 0); // answer bytes 2..9
        p[0] = req[4];
        const bool b = req[4] == 1 && m_config.zeroDeltaB.has_value();
        mc::PutSingle(b ? *m_config.zeroDeltaB : m_config.zeroDelta, p.data() + 2);
        p[6] = m_config.zeroStatus;
        return frame(mc::ZeroCal, p);
    }
    case mc::TrimOutput: {
        // Adjusting requests are acknowledged with their own code; "keep" or "end" (loop 99) with 36.
        const bool finish = req[4] == 99;
        return frame(finish ? mc::TrimAck : mc::TrimOutput, {req[4], req[7], req[5], req[6]});
    }
    default:
        return {};
    }
}

std::vector<std::uint8_t> Meter::readImage(double nowMs)
{
    if (m_reading && nowMs - m_readIdleFrom > kAbandonMs)
        m_reading = false;
    if (!m_reading) {
        m_reading = true;
        m_readWords = 0;
    }
    if (m_readWords >= kImageWords) {
        // The request after the last block: the read is done; the next request starts a new one.
        m_reading = false;
        return frame(mc::TransferDone, {kImageWords & 0xFF, kImageWords >> 8});
    }
    const int n = std::min(m_config.chunkWords, kImageWords - m_readWords);
    // Bytes 2..7: 0, chunk mark (0 on the first chunk), total words, words in this chunk, 0.
    std::vector<std::uint8_t> p{0, static_cast<std::uint8_t>(m_readWords == 0 ? 0 : 1), kImageWords & 0xFF,
                                kImageWords >> 8, static_cast<std::uint8_t>(n), 0};
    const auto first = m_image.begin() + 2 * m_readWords;
    p.insert(p.end(), first, first + 2 * n);
    m_readWords += n;
    return frame(mc::ReadImage, p);
}

std::vector<std::uint8_t> Meter::writeImage(const std::vector<std::uint8_t>& req)
{
    const int words = req[4];
    const std::uint8_t flag = req[5];
    auto wordsSoFar = [this] {
        const auto w = static_cast<int>(m_writeBuffer.size() / 2);
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(w & 0xFF), static_cast<std::uint8_t>(w >> 8)};
    };
    if (flag > 2) {
        m_writing = false;
        m_writeBuffer.clear();
        return frame(mc::WriteRefused, {0, 0});
    }
    if (flag == 0) {
        m_writing = true;
        m_writeBroken = false;
        m_writeBuffer.clear();
    } else if (!m_writing) {
        // A following or last block without a first one: the write is out of order.
        m_writing = true;
        m_writeBroken = true;
        m_writeBuffer.clear();
    }
    if (m_writeBuffer.size() + 2u * static_cast<unsigned>(words) > static_cast<std::size_t>(kImageBytes))
        m_writeBroken = true;
    else
        m_writeBuffer.insert(m_writeBuffer.end(), req.begin() + 6, req.begin() + 6 + 2 * words);

    if (flag != 2)
        return frame(mc::WriteImage, wordsSoFar());

    const std::vector<std::uint8_t> count = wordsSoFar();
    const bool accepted = !m_writeBroken && m_writeBuffer.size() == static_cast<std::size_t>(kImageBytes);
    m_writing = false;
    if (accepted) {
        m_image = m_writeBuffer;
        if (onImageAccepted)
            onImageAccepted(m_image);
    }
    m_writeBuffer.clear();
    return frame(accepted ? mc::TransferDone : mc::WriteRefused, count);
}

std::vector<std::uint8_t> Meter::plotBlock(const std::vector<std::uint8_t>& req, double nowMs)
{
    const int channel = req[4] == 2 ? 1 : 0; // the plot asks for channel 1 or 2
    if (!m_plotting || channel != m_plotChannel || nowMs - m_plotIdleFrom > kAbandonMs) {
        m_plotting = true;
        m_plotChannel = channel;
        m_plotStage = 0;
        m_plotPos = 0;
    }
    if (m_plotStage == 0 && m_plotPos == 0)
        m_waves = m_process.waveforms(channel, m_config.samples, nowMs / 1000.0, m_image);

    static constexpr std::uint8_t kSlot[3] = {0, 1, 6};
    const std::int16_t* data = nullptr;
    int total = 0;
    switch (m_plotStage) {
    case 0:
        data = m_waves.upstream.data();
        total = static_cast<int>(m_waves.upstream.size());
        break;
    case 1:
        data = m_waves.downstream.data();
        total = static_cast<int>(m_waves.downstream.size());
        break;
    default:
        data = m_waves.figures.data();
        total = static_cast<int>(m_waves.figures.size());
        break;
    }
    const int m = std::min(m_config.blockSamples, total - m_plotPos);
    // Bytes 2..7: slot, block mark (0 on a waveform's first block), total samples, samples here, 0.
    std::vector<std::uint8_t> p{kSlot[m_plotStage], static_cast<std::uint8_t>(m_plotPos == 0 ? 0 : 1),
                                static_cast<std::uint8_t>(total & 0xFF), static_cast<std::uint8_t>(total >> 8),
                                static_cast<std::uint8_t>(m), 0};
    p.resize(6 + 2 * static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i)
        mc::PutInteger(data[m_plotPos + i], p.data() + 6 + 2 * i);
    m_plotPos += m;
    if (m_plotPos >= total) {
        m_plotPos = 0;
        m_plotStage = (m_plotStage + 1) % 3;
    }
    return frame(mc::PlotPoll, p);
}

Reply Meter::deliver(std::uint8_t code, std::vector<std::uint8_t> answer, long nth)
{
    Reply r;
    r.requestCode = code;
    r.answer = std::move(answer);

    // The same number of draws for every answer, so each answer's fate follows from the seed and
    // its place in the run alone.
    auto chance = [this] { return static_cast<double>(m_faultRng() >> 11) * 0x1.0p-53; };
    const double uDrop = chance(), uCorrupt = chance(), uSplit = chance(), uNoise = chance(), uForeign = chance();
    const std::uint64_t d1 = m_faultRng(), d2 = m_faultRng(), d3 = m_faultRng();

    if (uDrop < m_config.drop) {
        r.faults |= FaultDrop;
        ++m_stats.drop;
        return r;
    }
    std::vector<std::uint8_t> bytes = r.answer;
    if (uForeign < m_config.foreign) {
        // Another node's answer: a good frame, but not from this meter.
        auto other = static_cast<std::uint8_t>(1 + d1 % 247);
        if (other == m_config.node)
            other = static_cast<std::uint8_t>(other % 247 + 1);
        bytes[0] = other;
        mc::AppendCrc(bytes.data(), bytes.size() - 2);
        r.faults |= FaultForeign;
        ++m_stats.foreign;
    }
    if (uCorrupt < m_config.corrupt) {
        const std::size_t at = bytes.size() - 2 + (d1 >> 32 & 1);
        bytes[at] ^= static_cast<std::uint8_t>(1 + (d1 >> 40) % 255);
        r.faults |= FaultCorrupt;
        ++m_stats.corrupt;
    }
    if (uNoise < m_config.noise) {
        const int n = 1 + static_cast<int>(d2 % 4);
        std::vector<std::uint8_t> stray;
        for (int i = 0; i < n; ++i)
            stray.push_back(static_cast<std::uint8_t>(d2 >> (8 * (i + 1))));
        bytes.insert(bytes.begin(), stray.begin(), stray.end());
        r.faults |= FaultNoise;
        ++m_stats.noise;
    }
    double gap = m_config.turnaroundMs + m_config.delayMs;
    if (m_config.delayMs > 0) {
        r.faults |= FaultDelay;
        ++m_stats.delay;
    }
    // Drawn only when asked for, so that the other faults of a seed stay where they were.
    const bool lateByChance = m_config.lateP > 0 && chance() < m_config.lateP;
    int lateMs = lateByChance ? m_config.lateMs : 0;
    for (const LateAnswer& l : m_config.late)
        if (l.code == code && l.k == nth)
            lateMs = std::max(lateMs, l.ms);
    if (lateByChance || lateMs > 0) {
        gap += lateMs;
        r.faults |= FaultLate;
        ++m_stats.late;
    }
    if (uSplit < m_config.split && bytes.size() >= 2) {
        const std::size_t cut = 1 + d3 % (bytes.size() - 1);
        r.pieces.push_back({gap, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)}});
        r.pieces.push_back({kSplitGapMs, {bytes.begin() + static_cast<std::ptrdiff_t>(cut), bytes.end()}});
        r.faults |= FaultSplit;
        ++m_stats.split;
    } else if (m_config.pauseInsideMs > 0 && bytes.size() >= 2) {
        const auto half = static_cast<std::ptrdiff_t>(bytes.size() / 2);
        r.pieces.push_back({gap, {bytes.begin(), bytes.begin() + half}});
        r.pieces.push_back({static_cast<double>(m_config.pauseInsideMs), {bytes.begin() + half, bytes.end()}});
    } else {
        r.pieces.push_back({gap, std::move(bytes)});
    }
    return r;
}

double Meter::endOfReply(const Reply& r, double nowMs) const
{
    double end = nowMs;
    for (const Piece& p : r.pieces)
        end += p.gapMs + WireMs(p.bytes.size(), m_config.baud);
    return end;
}

std::string Meter::summary() const
{
    return SummaryLine(m_stats);
}

MeterStats& MeterStats::operator+=(const MeterStats& o)
{
    for (const auto& [code, n] : o.answered)
        answered[code] += n;
    ignored += o.ignored;
    drop += o.drop;
    corrupt += o.corrupt;
    split += o.split;
    noise += o.noise;
    foreign += o.foreign;
    delay += o.delay;
    late += o.late;
    return *this;
}

std::string SummaryLine(const MeterStats& stats)
{
    std::ostringstream s;
    long all = 0;
    s << "answered";
    if (stats.answered.empty())
        s << " none";
    for (const auto& [code, n] : stats.answered) {
        s << ' ' << code << ':' << n;
        all += n;
    }
    s << " (" << all << " in all); ignored " << stats.ignored << "; faults drop:" << stats.drop
      << " corrupt:" << stats.corrupt << " split:" << stats.split << " noise:" << stats.noise
      << " foreign:" << stats.foreign << " delay:" << stats.delay << " late:" << stats.late;
    return s.str();
}

} // namespace sim
