// Reads and writes on a non-blocking socket, bounded by a deadline for the whole operation and
// a stall limit (the longest wait for any progress), so a slow peer cannot hold a thread.
#pragma once

#include <cstddef>

#include "tools/quillon/ServerOptions.h"

// Waits for the events (POLLIN, POLLOUT) until `until`; false when the wait ran out or failed.
bool WaitForSocket(int fd, short events, ServeClock::time_point until);

// Some bytes (at most n), waiting for the first until the deadline or the stall limit.
// 0 when the peer closed, the wait ran out or the socket failed.
size_t ReadSome(int fd, char* buffer, size_t n, ServeClock::time_point deadline,
                ServeClock::duration stall);

bool WriteAll(int fd, const char* data, size_t n, ServeClock::time_point deadline,
              ServeClock::duration stall);

// Half-closes and discards what the peer still sends for at most `linger`, then closes: a
// close with unread bytes would reset the connection before the peer read our answer.
void DrainAndClose(int fd, ServeClock::duration linger);
