// The HTTP transport service: one request driven step by step from the calling thread.
// The steps follow the order an upload or a download takes (connect, send the request
// headers, write the body in chunks, end the request and receive the response headers, read
// the response body); each blocks until its step is done. Sent byte notifications arrive on
// the calling thread while a step runs. Proxies come from the system's settings (on Linux the
// http_proxy, https_proxy and no_proxy environment variables); cookies come only from the
// request headers given; certificates of https servers are not verified.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

struct HttpRequestSetup {
    std::string agent;   // sent as User-Agent
    std::string scheme;  // "http" or "https"; others cannot be connected
    std::string host;    // empty: Connect fails
    uint16_t port = 0;
    std::string verb;              // "POST" or "GET"
    std::string target;            // path and query, sent as they are
    std::string headers;           // extra header lines, each "Name: value\r\n"
    int64_t bodyLength = 0;        // sent as Content-Length for POST
    bool followRedirects = false;  // follow 3xx answers that carry a Location
};

// What kind of failure ended a request, in the transport's own terms.
enum class TransportFailure {
    kNone,
    kCannotConnect,     // refused, unreachable, host or proxy not resolved
    kTimedOut,          // the transport's own time-out
    kTooManyRedirects,  // redirects followed past the limit
    kRedirectRefused,   // the redirect hook refused where an answer led
    kOther,
};

struct HttpSessionHooks {
    // Bytes of the request (headers and body) as they went out on the connection.
    std::function<void(unsigned long)> sent;
    // Polled while a step waits (at least every 50 ms); true ends the request at once.
    std::function<bool()> cancelled;
    // Asked before a redirect is followed, with the absolute address it leads to; false ends
    // the request (kRedirectRefused) before anything is sent there. A transport that cannot
    // ask before it follows does not follow redirects at all while the hook is set.
    std::function<bool(const std::string& url)> redirect;
};

class HttpSession {
  public:
    virtual ~HttpSession() = default;

    // Opens the connection to the server (or to the proxy). A failure to reach the server
    // fails here; a failure after the connection was made fails at the next step.
    virtual bool Connect() = 0;
    // Sends the request line and headers.
    virtual bool SendHeaders() = 0;
    // Supplies the next chunk of the body: true with the chunk's bytes (a length of 0 once the
    // body is complete), false to stop the request. Called on the calling thread whenever the
    // connection has room for more, so the body goes out without waiting between chunks.
    typedef std::function<bool(const char** data, size_t* length)> ChunkSource;
    // Sends the whole body, taking chunk after chunk from `next`; the bytes are read from each
    // chunk in place. False when the transfer failed or `next` stopped it.
    virtual bool WriteBody(const ChunkSource& next) = 0;
    // Ends the request and waits for the response headers (after any interim answers).
    virtual bool EndRequest() = 0;
    // The status line and header lines of the final response, each ending in "\r\n", with
    // the blank line after them; "" before EndRequest succeeded.
    virtual std::string RawHeaders() = 0;
    // Waits until body bytes are ready; 0 at the end of the body. False on a transport error.
    virtual bool Available(size_t* count) = 0;
    // Reads up to `capacity` body bytes; 0 at the end of the body. False on a transport error.
    virtual bool Read(char* buffer, size_t capacity, size_t* count) = 0;
    // The HTTP status of the final response, 0 before one arrived.
    virtual uint32_t Status() = 0;
    // The transport's number for the last failure (0 when there was none).
    virtual long LastError() = 0;
    virtual TransportFailure LastFailure() = 0;
};

// A session for one request; null when the transport cannot be opened.
std::unique_ptr<HttpSession> OpenHttpSession(const HttpRequestSetup& setup,
                                             const HttpSessionHooks& hooks);

}  // namespace platform
