// Anonymous and named pipes cannot be waited on with the loop's event, so a thread of its own
// reads standard input and hands the bytes to the loop thread, which alone runs the session.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/StdioServer.h"

namespace host {

namespace {

// Bytes read and not yet taken; the reader waits above this, as a full pipe makes the browser
// wait on Linux.
constexpr size_t kMaxQueuedInput = 4u << 20;

struct Input {
    Input() : ready(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Input() {
        if (ready) CloseHandle(ready);
    }
    std::mutex mutex;
    std::condition_variable taken;
    std::deque<std::string> chunks;
    size_t queued = 0;
    bool ended = false;
    HANDLE ready;  // set while chunks are queued or the input has ended (manual reset)
};

void ReadStandardInput(const std::shared_ptr<Input>& input) {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string chunk(64 * 1024, '\0');
    for (;;) {
        DWORD n = 0;
        // A broken pipe (the browser closed the port) and end of file both end the input.
        const bool read = in && in != INVALID_HANDLE_VALUE &&
                          ReadFile(in, &chunk[0], static_cast<DWORD>(chunk.size()), &n, nullptr);
        std::unique_lock<std::mutex> lock(input->mutex);
        if (!read || n == 0) {
            input->ended = true;
            SetEvent(input->ready);
            return;
        }
        input->taken.wait(lock, [&] { return input->queued < kMaxQueuedInput; });
        input->chunks.emplace_back(chunk.data(), n);
        input->queued += n;
        SetEvent(input->ready);
    }
}

}  // namespace

void PrepareStdio() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

Ending ServeStdio(HostLoop& loop, HostSession& session) {
    auto input = std::make_shared<Input>();
    if (!input->ready) return Ending::kFailed;
    // Left running when the session ends first: it holds only `input`, and the process exit
    // ends a read still waiting.
    std::thread(ReadStandardInput, input).detach();
    FrameReader reader;
    const HANDLE events[2] = {static_cast<HANDLE>(loop.wakeEvent()), input->ready};
    for (;;) {
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_FAILED)
            return Ending::kFailed;
        loop.RunPosted();
        std::deque<std::string> chunks;
        bool ended;
        {
            std::lock_guard<std::mutex> lock(input->mutex);
            chunks.swap(input->chunks);
            input->queued = 0;
            ended = input->ended;
            if (!ended) ResetEvent(input->ready);
        }
        input->taken.notify_one();
        for (const std::string& chunk : chunks) {
            Ending ending = Ending::kClosed;
            if (!HandleInput(reader, chunk.data(), chunk.size(), loop, session, ending))
                return ending;
        }
        if (ended) {
            ReportInputEnd(reader);
            return Ending::kClosed;
        }
    }
}

}  // namespace host
