// Limits and time-outs of quillon serve, set from its command line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using ServeClock = std::chrono::steady_clock;

struct ServerOptions {
    int port = 0;
    std::string folder = ".";
    // A whole request line and header block must arrive within this time of its first byte.
    std::chrono::milliseconds headerTimeout{10000};
    // A connection without a byte of its next request is closed after this time.
    std::chrono::milliseconds idleTimeout{5000};
    // A body must arrive (or a download be taken) at this average rate, after a grace of
    // headerTimeout; no progress for headerTimeout also ends it.
    uint64_t minBytesPerSecond = 16384;
    size_t maxHeaderBytes = 16384;
    uint64_t maxBodyBytes = 64ull << 20;
    // Open connections; a new one beyond this drops the oldest idle or unfinished header phase.
    size_t maxConnections = 512;
    // Threads that read bodies and answer; header blocks are collected without a thread each.
    size_t workers = 32;
};

// Reads the options of "quillon serve"; false (with a message on stderr) for a bad argument.
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions* options);

// The latest time a transfer of `bytes` may end when it starts now.
ServeClock::time_point TransferDeadline(const ServerOptions& options, uint64_t bytes);
