// HTTP(S) GET over libcurl's multi interface, so that a cancel is seen
// within one short poll even while a server sends nothing.
#include <platform/Network.h>

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

namespace platform::net {

namespace {

constexpr int kMaxRedirects = 5;
constexpr double kConnectSeconds = 10;
constexpr double kTotalSeconds = 20;
// How long one poll may wait before the cancel flag is looked at again.
constexpr int kPollMilliseconds = 20;

std::mutex timeoutLock;
double connectSeconds = kConnectSeconds;
double totalSeconds = kTotalSeconds;

std::atomic<bool> loopbackOnly{false};
std::atomic<size_t> refusedCount{0};

struct Transfer {
    std::string body;
    size_t cap = 0;
    MemoryBudget::Hold* hold = nullptr;
    std::chrono::steady_clock::time_point until;  // the end of the hop's time
    const std::atomic<bool>* cancel = nullptr;
    bool tooLarge = false;
    bool outOfTime = false;
    bool overBudget = false;
    bool refused = false;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t length = size * count;
    if (length > t->cap - t->body.size()) {
        t->tooLarge = true;
        return 0;  // anything but `length` stops the transfer
    }
    size_t needed = t->body.size() + length;
    if (needed > t->body.capacity()) {
        // Doubling, but never past the cap: a body near the cap takes no
        // more than the cap.
        size_t capacity = std::min(t->cap, std::max(needed, 2 * t->body.capacity()));
        if (t->hold != nullptr && !t->hold->growWaiting(capacity - t->body.capacity(), t->until, t->cancel)) {
            if (std::chrono::steady_clock::now() >= t->until)
                t->outOfTime = true;
            else
                t->tooLarge = t->overBudget = true;
            return 0;
        }
        // A fresh string takes exactly the capacity asked for (a reserve on
        // the old one may round it up to twice the old capacity).
        std::string grown;
        grown.reserve(capacity);
        grown.append(t->body);
        t->body.swap(grown);
    }
    t->body.append(data, length);
    return length;
}

bool isLoopbackAddress(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        auto* in = reinterpret_cast<const sockaddr_in*>(address);
        return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
    }
    if (address->sa_family == AF_INET6) {
        auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr)) return true;
        return IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr) && in6->sin6_addr.s6_addr[12] == 127;
    }
    return false;
}

curl_socket_t openSocket(void* user, curlsocktype, curl_sockaddr* address) {
    if (loopbackOnly.load() && !isLoopbackAddress(&address->addr)) {
        static_cast<Transfer*>(user)->refused = true;
        ++refusedCount;
        return CURL_SOCKET_BAD;
    }
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

Failure failureOf(CURLcode code, const Transfer& t) {
    if (t.outOfTime) return Failure::Timeout;
    if (t.tooLarge || code == CURLE_FILESIZE_EXCEEDED) return Failure::TooLarge;
    if (t.refused || code == CURLE_UNSUPPORTED_PROTOCOL) return Failure::Refused;
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT: return Failure::Timeout;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT: return Failure::Connect;
        case CURLE_URL_MALFORMAT: return Failure::BadURL;
        default: return Failure::Transfer;
    }
}

bool isRedirect(long status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

// One hop: the transfer of `url` with `secondsLeft` for all of it. Sets
// `redirect` to the Location of a redirect answer.
Response fetchOnce(const std::string& url, size_t cap, MemoryBudget* budget, double secondsLeft, double connectLimit,
                   const std::atomic<bool>* cancel, std::string& redirect) {
    Response r;
    r.hold = MemoryBudget::Hold(budget);
    Transfer t;
    t.cap = cap;
    t.until = std::chrono::steady_clock::now() +
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(secondsLeft));
    t.cancel = cancel;
    if (budget != nullptr) t.hold = &r.hold;
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    auto ms = [](double seconds) { return std::max(1L, static_cast<long>(std::ceil(seconds * 1000))); };
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, ms(std::min(connectLimit, secondsLeft)));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, ms(secondsLeft));
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(cap));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, openSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &t);
    curl_multi_add_handle(multi, easy);

    CURLcode code = CURLE_OK;
    bool cancelled = false;
    for (int running = 1;;) {
        curl_multi_perform(multi, &running);
        if (cancel != nullptr && cancel->load()) {
            cancelled = true;
            break;
        }
        if (running == 0) break;
        curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr);
    }
    if (!cancelled) {
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(multi, &left))
            if (m->msg == CURLMSG_DONE) code = m->data.result;
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &r.status);
    char* location = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location != nullptr)
        redirect = location;
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);

    r.finalURL = url;
    if (cancelled) {
        r.failure = Failure::Cancelled;
        r.message = "cancelled";
    } else if (code != CURLE_OK) {
        r.failure = failureOf(code, t);
        r.message = t.outOfTime    ? "time-out"
                    : t.overBudget ? "more than " + std::to_string(budget->limit()) + " bytes in flight"
                    : t.tooLarge ? "body larger than " + std::to_string(cap) + " bytes"
                                 : curl_easy_strerror(code);
    } else {
        r.body = std::move(t.body);
    }
    if (!r.ok()) r.hold.release();
    return r;
}

}  // namespace

Response HTTPRequest::perform(const std::atomic<bool>* cancel) const {
    initialiseCurl();
    double connectLimit, total;
    {
        std::lock_guard<std::mutex> g(timeoutLock);
        connectLimit = connectSeconds;
        total = totalSeconds;
    }
    auto start = std::chrono::steady_clock::now();
    if (deadline_) total = std::min(total, std::chrono::duration<double>(*deadline_ - start).count());
    std::string url = url_;
    for (int hop = 0;; ++hop) {
        Response r;
        r.finalURL = url;
        std::optional<URLParts> parts = parseURL(url);
        if (!parts || (parts->scheme != "http" && parts->scheme != "https")) {
            r.failure = !parts && hop == 0 ? Failure::BadURL : Failure::Refused;
            r.message = hop == 0 ? "not an http(s) URL: " + url : "redirect to a target other than http(s): " + url;
            return r;
        }
        double left = total - std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (left <= 0) {
            r.failure = Failure::Timeout;
            r.message = "time-out";
            return r;
        }
        std::string redirect;
        r = fetchOnce(url, maxBody_, budget_, left, connectLimit, cancel, redirect);
        if (!r.ok() || !isRedirect(r.status)) {
            if (r.ok() && (r.status < 200 || r.status > 299)) {
                r.failure = Failure::Status;
                r.message = "HTTP status " + std::to_string(r.status);
                r.body = std::string();
                r.hold.release();
            }
            return r;
        }
        if (hop == kMaxRedirects || redirect.empty()) {
            r.failure = Failure::TooManyRedirects;
            r.message = redirect.empty() ? "redirect without a target" : "more than 5 redirects";
            r.body = std::string();
            r.hold.release();
            return r;
        }
        url = redirect;
    }
}

void setTimeouts(double connect, double total) {
    std::lock_guard<std::mutex> g(timeoutLock);
    connectSeconds = connect;
    totalSeconds = total;
}

double totalTimeoutSeconds() {
    std::lock_guard<std::mutex> g(timeoutLock);
    return totalSeconds;
}

void resetTimeouts() { setTimeouts(kConnectSeconds, kTotalSeconds); }

void setLoopbackOnly(bool on) { loopbackOnly.store(on); }
size_t refusedOffLoopback() { return refusedCount.load(); }

}  // namespace platform::net
