// The benchmark's end of a stamps FIFO (see stamp_record.h).
#pragma once

#include "stamp_record.h"

#include <string>
#include <vector>

namespace bench {

class StampReader
{
public:
    StampReader() = default;
    ~StampReader();
    StampReader(const StampReader &) = delete;
    StampReader &operator=(const StampReader &) = delete;

    // Makes the FIFO at `path` and opens it, so a writer can open it at once.
    bool create(const std::string &path);
    // The next record, waiting at most `timeoutMs`. False on timeout.
    bool next(stamps::StampRecord *record, int timeoutMs);
    // Drops whatever has arrived so far.
    void discardPending();

private:
    bool fill(int timeoutMs);

    std::string m_path;
    int m_readFd = -1;
    int m_keepOpenFd = -1;  // so a writer that ends reads as "nothing yet", not end of file
    std::vector<unsigned char> m_held;
};

}  // namespace bench
