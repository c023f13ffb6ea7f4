// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant ends the run, so that libFuzzer keeps the input and the replay fails.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Cuts the input into reads: each a length byte (1 to 64) and that many bytes.
template<typename Read> void ForEachRead(const unsigned char *data, std::size_t size, Read read)
{
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t length = 1 + data[pos++] % 64;
        const std::size_t take = length < size - pos ? length : size - pos;
        read(data + pos, take);
        pos += take;
    }
}
