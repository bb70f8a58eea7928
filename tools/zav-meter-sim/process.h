#pragma once
// The measuring side of the meter: a slowly varying flow with noise on each channel, the batch
// total, the diagnostics figures and the received waveforms. The channel geometry (pipe, path,
// transducer, fluid, calibration factor) is taken from the meter's current image, so a written image
// changes what the meter measures. Time is given by the caller in seconds, so every figure follows
// from the seed and the request times alone.

#include "imagefile.h"

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace sim {

class FlowProcess {
public:
    explicit FlowProcess(std::uint64_t seed);

    // Batch commands carried in byte 5 of a live-data request.
    enum BatchCommand : std::uint8_t { NoCommand = 0, StopBatch = 1, StartBatch = 2, ClearRunning = 3, ClearTotal = 4 };

    // The live-data answer's payload (answer bytes 2..49) for channel 0 or 1 at time t, after the
    // batch command has been carried out.
    std::vector<std::uint8_t> liveData(int channel, std::uint8_t command, double t, const Image& image,
                                       std::uint8_t status);
    // The diagnostics answer's payload (answer bytes 2..35).
    std::vector<std::uint8_t> diagnostics(int channel, double t, const Image& image, std::uint8_t status);

    struct Waveforms {
        std::vector<std::int16_t> upstream, downstream;
        // Saturation up and down x10, gain x10, trigger index, offset: the trigger marker falls on
        // sample (trigger index - offset) of the waveforms.
        std::array<std::int16_t, 5> figures{};
    };
    Waveforms waveforms(int channel, int samples, double t, const Image& image);

    // The smooth part of the flow of a channel, m^3/s.
    double meanFlow(int channel, double t, const Image& image) const;
    bool batchRunning() const { return m_running; }
    double batchTime() const { return m_batchTime; }
    double total(int channel) const { return m_total[static_cast<std::size_t>(channel & 1)]; }

private:
    struct Geometry {
        double area, path, axial, soundSpeed, delay, sinRefract, calFactor;
        double samplePeriod; // s
        int samplesPerCycle;
    };
    static Geometry geometry(int channel, const Image& image);
    void advance(double t, const Image& image);
    double uniform(); // -1 .. 1
    double gauss();   // about N(0, 1)

    std::mt19937_64 m_rng;
    bool m_running = false;
    double m_lastT = 0.0;
    double m_batchTime = 0.0;
    std::array<double, 2> m_total{};
};

} // namespace sim
