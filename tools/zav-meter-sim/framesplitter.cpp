#include "framesplitter.h"

#include "link/modComFun.h"

namespace sim {

std::size_t FrameSplitter::RequestLength(const std::uint8_t* head, std::size_t have)
{
    if (have < 2)
        return 0;
    switch (head[1]) {
    case modComFun::LiveData:
        return 10;
    case modComFun::TrimOutput:
        return 12;
    case modComFun::WriteImage:
        return have < 5 ? 0 : 2 * static_cast<std::size_t>(head[4]) + 10;
    default:
        return 8;
    }
}

std::vector<FrameSplitter::Frame> FrameSplitter::feed(const std::uint8_t* data, std::size_t n, double nowMs)
{
    std::vector<Frame> out;
    if (auto stale = poll(nowMs))
        out.push_back(std::move(*stale));
    if (n == 0)
        return out;
    m_buffer.insert(m_buffer.end(), data, data + n);
    m_lastByteMs = nowMs;
    for (;;) {
        const std::size_t want = RequestLength(m_buffer.data(), m_buffer.size());
        if (want == 0 || m_buffer.size() < want)
            break;
        out.emplace_back(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(want));
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(want));
    }
    return out;
}

std::optional<FrameSplitter::Frame> FrameSplitter::poll(double nowMs)
{
    if (m_buffer.empty() || nowMs - m_lastByteMs < m_silenceMs)
        return std::nullopt;
    Frame f;
    f.swap(m_buffer);
    return f;
}

std::optional<double> FrameSplitter::deadline() const
{
    if (m_buffer.empty())
        return std::nullopt;
    return m_lastByteMs + m_silenceMs;
}

} // namespace sim
