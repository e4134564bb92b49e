// The network layer: HTTP(S) requests over libcurl, the count of network
// work in flight, and the wait for it that hosts and tests use.
//
// Every request:
//   - only http and https, for the first URL and for every redirect target;
//   - at most 5 redirects (a sixth fails the request);
//   - 10 s to connect and 20 s for the whole request, redirects included
//     (settable for tests with setTimeouts);
//   - a body cap given per request: reading stops as soon as the body would
//     grow past it, and the request fails;
//   - TLS peers and host names verified;
//   - no decompression of the body, no cookies, no proxy from the
//     environment;
//   - cancellable from another thread (the transfer stops within about
//     20 ms, even while the server sends nothing).
// Only a 2xx answer counts as success.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

#include <platform/MemoryBudget.h>

namespace platform::net {

enum class Failure {
    None,
    BadURL,            // not an absolute http(s) URL
    Refused,           // scheme other than http(s), or off loopback while loopbackOnly
    Connect,           // cannot resolve or connect
    Timeout,           // connect or total time-out
    TooLarge,          // the body went past the cap
    Status,            // an answer other than 2xx
    TooManyRedirects,  // more than 5, or a redirect without a usable target
    Cancelled,
    Transfer,          // TLS or any other transfer failure
};

using platform::MemoryBudget;

struct Response {
    Failure failure = Failure::None;
    long status = 0;        // the last HTTP status seen (0 without one)
    MemoryBudget::Hold hold;  // the body's share of a budget (see sharing; goes after it)
    std::string body;       // empty unless ok()
    std::string finalURL;   // the URL answered last (after redirects)
    std::string message;    // why it failed, for logs
    bool ok() const { return failure == Failure::None; }
};

// One GET request; blocking, on the calling thread. `cancel`, when given, is
// polled during the transfer. The body never takes more memory than its cap
// (it grows by doubling up to the cap, not past it).
class HTTPRequest {
public:
    HTTPRequest(std::string url, size_t maxBodyBytes) : url_(std::move(url)), maxBody_(maxBodyBytes) {}
    // The request, redirects included, ends by this time at the latest
    // (Failure::Timeout), even when the total time-out would allow more.
    HTTPRequest& until(std::chrono::steady_clock::time_point deadline) {
        deadline_ = deadline;
        return *this;
    }
    // The body takes its bytes from `budget` as it grows, waiting for room
    // while the budget allows (until the request's time runs out), and fails
    // (Failure::TooLarge) when it is refused; the Response holds them until
    // it goes.
    HTTPRequest& sharing(MemoryBudget* budget) {
        budget_ = budget;
        return *this;
    }
    Response perform(const std::atomic<bool>* cancel = nullptr) const;

private:
    std::string url_;
    size_t maxBody_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    MemoryBudget* budget_ = nullptr;
};

// The parts of an absolute URL, or nothing when the string is not one: a
// scheme, then only printable ASCII other than space and <>"{}|\^`, every
// "%" followed by two hex digits, at most one "#". With "//" after the
// scheme an authority follows ([user@]host[:port], port at most 65535, an
// IPv6 host in brackets); http and https need one with a host.
struct URLParts {
    std::string scheme;  // lower case
    std::string host;    // as written (brackets kept); empty without one
    int port = -1;       // -1 when not given
};
std::optional<URLParts> parseURL(const std::string& url);
// True for an absolute http or https URL with a host.
bool isWebURL(const std::string& url);

// Time-outs in seconds (defaults 10 and 20). For tests; thread-safe.
void setTimeouts(double connectSeconds, double totalSeconds);
void resetTimeouts();
// The total time-out in force.
double totalTimeoutSeconds();

// While on, a connection to anything but a loopback address is refused
// (Failure::Refused) before it is made. For tests.
void setLoopbackOnly(bool on);
// How many connections were refused by that rule since the process began.
size_t refusedOffLoopback();

// Network work in flight: a token counts from its construction until it
// goes. Requests hold one while they run; work that delivers a result later
// (on the main queue) holds one until it has delivered.
class Activity {
public:
    Activity();
    ~Activity();
    Activity(const Activity&) = delete;
    Activity& operator=(const Activity&) = delete;
};
size_t activityCount();

}  // namespace platform::net

namespace platform {

// Serves the main run loop (from the main thread) until no network work is in
// flight, no global-queue block is queued or running, and no work waits on
// the main queue (timers do not count), or until `seconds` of real time
// have passed. Global blocks are drained on this thread while
// setManualGlobalQueues is on. True when it became idle.
bool waitForNetworkIdle(double seconds);

}  // namespace platform
