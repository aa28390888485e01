// A finding: libFuzzer and the replays catch the abort and keep the input.
#pragma once

#include <cstdlib>

inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
