#include "process.h"

#include "link/modComFun.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Per channel: mean velocity (m/s), swing (m/s) and period (s) of the slow flow variation.
struct FlowShape {
    double v0, swing, period, phase;
};
constexpr FlowShape kShape[2] = {{1.2, 0.15, 60.0, 0.0}, {0.8, 0.10, 45.0, 1.0}};

double sane(double v, double lo, double hi, double fallback)
{
    return std::isfinite(v) && v >= lo && v <= hi ? v : fallback;
}

void putSingle(std::vector<std::uint8_t>& p, int answerOffset, double v)
{
    modComFun::PutSingle(static_cast<float>(v), p.data() + answerOffset - 2);
}

void putInt(std::vector<std::uint8_t>& p, int answerOffset, long v)
{
    v = std::clamp(v, -32768L, 32767L);
    modComFun::PutInteger(static_cast<std::int16_t>(v), p.data() + answerOffset - 2);
}

std::int16_t clamp16(double v)
{
    return static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
}

} // namespace

FlowProcess::FlowProcess(std::uint64_t seed) : m_rng(seed ^ 0x5A56F10Bu) {}

double FlowProcess::uniform()
{
    return static_cast<double>(m_rng() >> 11) * 0x1.0p-52 - 1.0;
}

double FlowProcess::gauss()
{
    // Sum of three uniforms: bell-shaped, bounded, standard deviation 1.
    return (uniform() + uniform() + uniform());
}

FlowProcess::Geometry FlowProcess::geometry(int channel, const Image& image)
{
    // The channel's settings as the tool's cells read them from the image.
    const modData::ChannelRecord c = DecodeChannel(image, channel);
    Geometry g{};
    const double id = sane(c.PipeID.f, 1e-4, 10.0, 0.00463);
    g.area = 0.785 * id * id;
    g.path = sane(c.PathLength.f, 1e-4, 20.0, 0.005174);
    g.axial = sane(c.AxialLength.f, 0.0, 20.0, 0.00202);
    g.soundSpeed = sane(c.FluidVOS.f, 300.0, 4000.0, 1481.0);
    g.delay = sane(c.XducerDelay.f, 0.0, 1e-3, 5.4e-6);
    g.sinRefract = sane(c.SinRefract.f, 0.0, 1.0, 0.866);
    g.calFactor = sane(c.CalFactor.f, 0.01, 100.0, 1.0);
    const double kHz = sane(c.XducerFreq.u, 50.0, 10000.0, 4000.0);
    const int spc = static_cast<int>(c.SamplesPerCycle.u);
    g.samplesPerCycle = spc >= 4 && spc <= 64 ? spc : 12;
    g.samplePeriod = 1.0 / (kHz * 1000.0 * g.samplesPerCycle);
    return g;
}

double FlowProcess::meanFlow(int channel, double t, const Image& image) const
{
    const FlowShape& s = kShape[channel & 1];
    const Geometry g = geometry(channel, image);
    const double v = s.v0 + s.swing * std::sin(2 * kPi * t / s.period + s.phase);
    return v * g.area * g.calFactor;
}

void FlowProcess::advance(double t, const Image& image)
{
    if (t <= m_lastT) {
        return;
    }
    if (m_running) {
        m_batchTime += t - m_lastT;
        for (int c = 0; c < 2; ++c) {
            // The integral of the smooth flow from the last request to this one.
            const FlowShape& s = kShape[c];
            const Geometry g = geometry(c, image);
            const double w = 2 * kPi / s.period;
            const double volume = s.v0 * (t - m_lastT) +
                                  s.swing / w * (std::cos(w * m_lastT + s.phase) - std::cos(w * t + s.phase));
            m_total[static_cast<std::size_t>(c)] += volume * g.area * g.calFactor;
        }
    }
    m_lastT = t;
}

std::vector<std::uint8_t> FlowProcess::liveData(int channel, std::uint8_t command, double t, const Image& image,
                                                std::uint8_t status)
{
    channel &= 1;
    advance(t, image);
    switch (command) {
    case StartBatch:
        m_running = true;
        break;
    case StopBatch:
        m_running = false;
        break;
    case ClearRunning:
    case ClearTotal:
        m_total = {};
        m_batchTime = 0.0;
        break;
    default:
        break;
    }

    const Geometry g = geometry(channel, image);
    const double mean = meanFlow(channel, t, image);
    const double flow = mean + 0.01 * std::fabs(mean) * gauss();
    const double sd = 0.015 * std::fabs(mean) * (1.0 + 0.1 * uniform());
    const double soundSpeed = g.soundSpeed + 0.8 * std::sin(2 * kPi * t / 90.0) + 0.3 * gauss();

    std::vector<std::uint8_t> p(48, 0); // answer bytes 2..49
    p[0] = static_cast<std::uint8_t>(channel);
    putSingle(p, 4, mean);
    putSingle(p, 8, soundSpeed);
    putSingle(p, 12, flow);
    putSingle(p, 16, sd);
    putSingle(p, 20, m_batchTime);
    putSingle(p, 24, m_total[static_cast<std::size_t>(channel)]);
    putInt(p, 28, std::lround(250 + 20 * uniform()));   // particle load x1000
    putInt(p, 30, std::lround(12 + 2 * uniform()));     // particle size, microns
    putInt(p, 32, std::lround(35 + 3 * uniform()));     // absorption x10, dB
    p[36 - 2] = m_running ? 0 : 1;                      // averaging gate: open while the batch runs
    p[48 - 2] = m_running ? 1 : 0;
    p[49 - 2] = status;
    return p;
}

std::vector<std::uint8_t> FlowProcess::diagnostics(int channel, double t, const Image& image, std::uint8_t status)
{
    channel &= 1;
    const Geometry g = geometry(channel, image);
    const FlowShape& s = kShape[channel];
    const double v = s.v0 + s.swing * std::sin(2 * kPi * t / s.period + s.phase);
    const double c = g.soundSpeed + 0.3 * gauss();
    const double tUp = g.path / c + g.delay + 2e-10 * uniform();
    const double delta = 2.0 * g.axial * v / (c * c) * (1.0 + 0.02 * gauss());
    const long trigUp = std::lround(tUp / g.samplePeriod);
    const long trigDn = trigUp - std::lround(delta / g.samplePeriod);

    std::vector<std::uint8_t> p(34, 0); // answer bytes 2..35
    p[0] = static_cast<std::uint8_t>(channel);
    putSingle(p, 4, tUp);
    putSingle(p, 8, delta);
    p[12 - 2] = status;                                          // error
    p[13 - 2] = static_cast<std::uint8_t>(3 + (uniform() > 0 ? 1 : 0)); // minimum count
    putInt(p, 14, trigUp);
    putInt(p, 16, trigDn);
    putInt(p, 18, std::lround(g.sinRefract * 1000.0));
    putInt(p, 20, std::lround(950 + 15 * uniform()));   // phase correlation x1000
    putInt(p, 22, std::lround(450 + 25 * uniform()));   // saturation up x10, %
    putInt(p, 24, std::lround(440 + 25 * uniform()));   // saturation down x10, %
    putInt(p, 26, std::lround(780 + 10 * uniform()));   // acoustic strength x10
    putInt(p, 28, std::lround(12000 + 300 * uniform())); // waveform magnitude
    putInt(p, 30, std::lround(25 + 5 * uniform()));     // waveform discrimination
    p[33 - 2] = delta >= 0 ? 1 : 0;                      // downstream lags the upstream signal
    return p;
}

FlowProcess::Waveforms FlowProcess::waveforms(int channel, int samples, double t, const Image& image)
{
    channel &= 1;
    const Geometry g = geometry(channel, image);
    const FlowShape& s = kShape[channel];
    const double v = s.v0 + s.swing * std::sin(2 * kPi * t / s.period + s.phase);
    const double tUp = g.path / g.soundSpeed + g.delay;
    const long trigger = std::lround(tUp / g.samplePeriod);
    // The capture starts so that the burst arrives about a third of the way in.
    const long arrival = std::max(1L, std::min<long>(samples / 3, trigger - trigger / 8));
    const long offset = trigger - arrival;
    // The downstream burst arrives a fraction of a sample later: a fixed path difference plus the
    // flow's transit-time difference.
    const double delta = 2.0 * g.axial * v / (g.soundSpeed * g.soundSpeed);
    const double shift = 0.35 + delta / g.samplePeriod;

    const double satUp = 450 + 25 * uniform();
    const double satDn = 440 + 25 * uniform();
    const double gain = 235 + 5 * uniform();
    const double spc = g.samplesPerCycle;
    const double tau = 3.0 * spc;

    Waveforms w;
    w.upstream.resize(static_cast<std::size_t>(samples));
    w.downstream.resize(static_cast<std::size_t>(samples));
    auto burst = [&](double x, double amplitude) {
        if (x <= 0)
            return 0.0;
        const double r = x / tau;
        return amplitude * r * r * std::exp(2.0 * (1.0 - r)) * std::sin(2 * kPi * x / spc);
    };
    for (int i = 0; i < samples; ++i) {
        const double x = i - static_cast<double>(arrival);
        w.upstream[static_cast<std::size_t>(i)] = clamp16(burst(x, 32767.0 * satUp / 1000.0) + 120 * uniform());
        w.downstream[static_cast<std::size_t>(i)] =
            clamp16(burst(x - shift, 32767.0 * satDn / 1000.0) + 120 * uniform());
    }
    w.figures = {clamp16(satUp), clamp16(satDn), clamp16(gain), clamp16(static_cast<double>(trigger)),
                 clamp16(static_cast<double>(offset))};
    return w;
}

} // namespace sim
