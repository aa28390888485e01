// Arrival stamps: one record per light command a receiver got, with the
// time it got it, so a benchmark in another process can tell how long the
// command took on its way. Every process reads the same steady clock
// (CLOCK_MONOTONIC on Linux), so stamps compare across processes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace stamps {

struct StampRecord {
    std::uint64_t ns;  // steady clock, nanoseconds
    std::uint64_t wParam;
    std::int64_t lParam;
};
static_assert(sizeof(StampRecord) == 24, "the reader takes records of this size");

// Now on the steady clock, in nanoseconds.
std::uint64_t steadyNowNs();

// Writes records to a file or FIFO, each one flushed at once: the reader
// waits on every record.
class StampWriter
{
public:
    StampWriter() = default;
    ~StampWriter();
    StampWriter(const StampWriter &) = delete;
    StampWriter &operator=(const StampWriter &) = delete;

    bool open(const std::string &path);
    bool isOpen() const { return m_file != nullptr; }
    void write(std::uint64_t wParam, std::int64_t lParam);

private:
    std::FILE *m_file = nullptr;
};

}  // namespace stamps
