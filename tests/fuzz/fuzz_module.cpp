// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated module's line handling and replies: any bytes, split into any reads.

#include "fuzzcheck.h"
#include "modulecore.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    sim::LineSplitter splitter;
    sim::ModuleCore core;
    std::string fed;
    std::size_t lineEnds = 0;
    bool leftCommandMode = false; // by AT+RESET: nothing is answered after it
    ForEachRead(data, size, [&](const unsigned char *bytes, std::size_t length) {
        const std::string read(reinterpret_cast<const char *>(bytes), length);
        fed += read;
        for (const std::string &line : splitter.Feed(read)) {
            ++lineEnds;
            FUZZ_CHECK(line.find('\n') == std::string::npos);
            FUZZ_CHECK(line.empty() || (line.front() != ' ' && line.back() != ' '));
            const auto reply = core.Reply(line);
            if (leftCommandMode) {
                FUZZ_CHECK(!reply);
                continue;
            }
            leftCommandMode = line == "AT+RESET";
            FUZZ_CHECK(reply && reply->size() >= 4);
            FUZZ_CHECK(reply->compare(reply->size() - 2, 2, "\r\n") == 0);
            FUZZ_CHECK(*reply == "OK\r\n" || reply->rfind("ERROR:(", 0) == 0
                       || (reply->front() == '+' && reply->find(":") != std::string::npos
                           && reply->compare(reply->size() - 6, 6, "\r\nOK\r\n") == 0));
        }
    });
    std::size_t feeds = 0;
    for (char c : fed)
        feeds += c == '\n';
    FUZZ_CHECK(lineEnds == feeds); // every line feed ends exactly one line
    FUZZ_CHECK(splitter.HasPending() == (!fed.empty() && fed.back() != '\n'));
    return 0;
}
