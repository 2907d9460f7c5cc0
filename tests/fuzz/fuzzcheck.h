#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise found by a fuzz target: say which, and abort so that libFuzzer keeps the
// input that broke it.
inline void check(bool kept, const char *promise)
{
    if (!kept) {
        std::fprintf(stderr, "broken promise: %s\n", promise);
        std::abort();
    }
}
