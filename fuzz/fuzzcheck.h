#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property is a crash for libFuzzer: it stops, keeps the input as the reproducer and reports it.
#define FUZZ_CHECK(cond)                                                                        \
    do {                                                                                        \
        if (!(cond)) {                                                                          \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)
