#ifndef FUZZ_H
#define FUZZ_H

#include <cstdlib>

// A broken property aborts, which libFuzzer reports as a crash and keeps the input of.
inline void require(bool condition)
{
    condition ? void() : std::abort();
}

#endif // FUZZ_H
