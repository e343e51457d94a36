// The connections of quillon serve. One thread accepts and collects every header block with
// poll, so idle and trickling clients cost a descriptor and a buffer, not a thread; a complete
// request goes to one of a fixed number of workers. Idle connections and unfinished header
// blocks end at their deadlines, and once the connection limit is reached the oldest of them
// is dropped to admit a new one.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/quillon/ServerOptions.h"

struct Connection {
    int fd = -1;
    // Bytes received and not yet used: a complete header block at the front (headLength
    // bytes), then whatever followed it.
    std::string pending;
    size_t headLength = 0;
    // 431 when the header block outgrew its limit: the worker only refuses it.
    int refuseStatus = 0;
};

// Handles the request at the front of connection.pending and removes what it used; true when
// the connection stays open for the next request. It closes the descriptor otherwise.
using RequestHandler = std::function<bool(Connection& connection)>;

class ConnectionLoop {
  public:
    ConnectionLoop(int listenFd, const ServerOptions& options, RequestHandler handler);
    ~ConnectionLoop();
    ConnectionLoop(const ConnectionLoop&) = delete;
    ConnectionLoop& operator=(const ConnectionLoop&) = delete;

    // Serves until poll fails; the process normally ends by a signal.
    void Run();

  private:
    struct Watched {
        Connection connection;
        ServeClock::time_point deadline;
        bool started = false;  // a byte of the next request has come
    };

    void Accept(ServeClock::time_point now);
    void Watch(Connection connection, ServeClock::time_point now);
    // Reads what came; false when the connection left the loop (closed or handed on).
    bool Receive(Watched& watched, ServeClock::time_point now);
    // Hands the connection on once its header block is complete or too long.
    bool Examine(Watched& watched, ServeClock::time_point now);
    // Hands a connection whose header block is complete (or refused) to the workers.
    void Dispatch(Connection connection);
    void TakeReturned(ServeClock::time_point now);
    void DropOldest();
    void WorkerMain();

    const int listenFd_;
    const ServerOptions& options_;
    const RequestHandler handler_;
    int wakeFd_ = -1;
    ServeClock::time_point acceptPausedUntil_;

    std::list<Watched> watched_;  // the loop thread's only, oldest first

    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::deque<Connection> jobs_;
    std::vector<Connection> returned_;
    size_t handedOut_ = 0;  // connections queued or at a worker
    std::vector<std::thread> workers_;
};
