#pragma once
// FUZZ_CHECK(condition, what): a property of a harness. When it does not
// hold, the harness says which and aborts, so libFuzzer keeps the input as a
// crash. Plain C++ only, usable from any harness.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property broken: %s (%s)\n", __FILE__, __LINE__, what,    \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
