#pragma once
// Cuts the byte stream the tool writes into request frames. A request's length follows from its
// function code (byte 1): 10 bytes for live data (30), 12 for output trim (46), 2w + 10 for an image
// block (33) whose word count w is byte 4, 8 for every other code. A fragment that stays incomplete
// when the line falls silent is handed on as it is, so a garbled or unknown frame never holds up the
// next request.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

class FrameSplitter {
public:
    using Frame = std::vector<std::uint8_t>;

    explicit FrameSplitter(double silenceMs = 100.0) : m_silenceMs(silenceMs) {}

    // The whole length of a request starting with these bytes, or 0 while too few bytes are there
    // to tell (the code needs 2 bytes, an image block 5).
    static std::size_t RequestLength(const std::uint8_t* head, std::size_t have);

    // Takes bytes received at nowMs and returns the frames they complete, in order. A fragment that
    // had been silent for the silence time before these bytes is handed on first.
    std::vector<Frame> feed(const std::uint8_t* data, std::size_t n, double nowMs);
    // Returns the pending fragment once the line has been silent for the silence time.
    std::optional<Frame> poll(double nowMs);
    // When poll() will hand on the pending fragment; empty when nothing is pending.
    std::optional<double> deadline() const;

    std::size_t pending() const { return m_buffer.size(); }

private:
    double m_silenceMs;
    Frame m_buffer;
    double m_lastByteMs = 0.0;
};

} // namespace sim
