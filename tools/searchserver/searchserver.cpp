// searchserver: a loopback stand-in for a JSON image-search service, with
// generated JPEG pictures and switches for the ways a server can fail.
//
//   searchserver [--port N] [--idle-exit SECONDS] [--log FILE]
//                [--fail MODE] [--fail-start S] [--picture-size WxH]
//                [--picture-format KIND] [--no-length]
//
// Listens on 127.0.0.1 only; port 0 (the default) takes a free one. The
// first line on standard output is the port. It stops after SECONDS without
// a request (default 60) and on SIGTERM or SIGINT.
//
// GET /ajax/services/search/images?v=1.0&rsz=8&start=S&as_filetype=jpg&q=Q
//   {"responseData":{"results":[8 results numbered S..S+7]}}, each
//   {"url":"http://127.0.0.1:PORT/img/N.jpg","width":"W","height":"H"};
//   another query gives 400.
// GET /img/N.jpg     a JPEG of W x H pixels in a colour of its own (another
//                    kind under --picture-format, whatever the name says)
// GET /redirect/N    redirects to /redirect/N-1; /redirect/0 answers "arrived"
// GET /redirect-to?url=U   redirects to U
//
// --log FILE: each request's target, verbatim, one a line (flushed at once).
// --fail MODE, for pages (only the page with start=S under --fail-start S):
//   status500, garbage, empty-object, top-array, responsedata-array,
//   results-object, wrong-types (entries of every JSON type, widths and
//   heights not strings), url-number (urls of number, array, object, boolean
//   and null), url-file (file: urls), url-relative (relative names and
//   paths), big-page (a 3 MB page), hang (accepts, reads and never answers)
// and for pictures:
//   big-picture (25 MB, sent without a length), huge-header (a JPEG whose
//   header claims 30000 x 30000), picture-500, picture-hang.
// --picture-size WxH: every result and picture is W x H (default: small
//   sizes that differ from one result to the next).
// --picture-format KIND: jpeg (the default), png, progressive (a progressive
//   JPEG), interlaced (an interlaced PNG), gif (one image filling the
//   screen, its LZW data a few kilobytes however large), lying (a progressive
//   JPEG cut after its first scan: its header promises the whole picture),
//   or mixed (each of the last four in turn, by result number).
// --no-length: pictures are sent in chunks, without a declared length.
// Pictures are made once per size and colour and kept.
#include <platform/Platform.h>
#include <UIKit/UIImage.h>

#include <gif_lib.h>
#include <httplib.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

struct Options {
    int port = 0;
    double idleExit = 60;
    std::string log;
    std::string fail;
    long failStart = -1;
    int width = 0, height = 0;
    std::string format = "jpeg";
    bool noLength = false;
};

std::atomic<bool> stopping{false};
std::mutex hangLock;
std::condition_variable hangWake;

std::mutex stateLock;
std::chrono::steady_clock::time_point lastRequest = std::chrono::steady_clock::now();
std::ofstream logFile;

[[noreturn]] void usage(const std::string& why) {
    std::cerr << "searchserver: " << why << "\n"
              << "usage: searchserver [--port N] [--idle-exit SECONDS] [--log FILE] [--fail MODE] [--fail-start S] "
                 "[--picture-size WxH]\n";
    std::exit(2);
}

std::optional<long> number(const std::string& s) {
    if (s.empty() || s.size() > 9) return {};
    for (char c : s)
        if (c < '0' || c > '9') return {};
    return std::stol(s);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--no-length") {
            o.noLength = true;
            continue;
        }
        if (i + 1 >= argc) usage("missing value after " + a);
        std::string v = argv[++i];
        if (a == "--port") {
            auto n = number(v);
            if (!n || *n > 65535) usage("bad port " + v);
            o.port = static_cast<int>(*n);
        } else if (a == "--idle-exit") {
            char* end = nullptr;
            o.idleExit = std::strtod(v.c_str(), &end);
            if (end == v.c_str() || *end != '\0' || !(o.idleExit > 0)) usage("bad --idle-exit " + v);
        } else if (a == "--log") {
            o.log = v;
        } else if (a == "--fail") {
            static const char* modes[] = {"status500", "garbage", "empty-object", "top-array", "responsedata-array",
                                          "results-object", "wrong-types", "url-number", "url-file", "url-relative",
                                          "big-page", "hang", "trickle", "deep", "endless", "truncated",
                                          "redirect-loop", "big-picture", "huge-header", "picture-500",
                                          "picture-hang"};
            bool known = false;
            for (const char* m : modes) known = known || v == m;
            if (!known) usage("unknown --fail mode " + v);
            o.fail = v;
        } else if (a == "--fail-start") {
            auto n = number(v);
            if (!n) usage("bad --fail-start " + v);
            o.failStart = *n;
        } else if (a == "--picture-format") {
            static const char* kinds[] = {"jpeg", "png", "progressive", "interlaced", "gif", "lying", "mixed"};
            bool known = false;
            for (const char* k : kinds) known = known || v == k;
            if (!known) usage("bad --picture-format " + v);
            o.format = v;
        } else if (a == "--picture-size") {
            size_t x = v.find('x');
            auto w = number(v.substr(0, x)), h = x == std::string::npos ? std::nullopt : number(v.substr(x + 1));
            if (!w || !h || *w == 0 || *h == 0 || *w > 20000 || *h > 20000) usage("bad --picture-size " + v);
            o.width = static_cast<int>(*w);
            o.height = static_cast<int>(*h);
        } else {
            usage("unknown option " + a);
        }
    }
    return o;
}

// The size of result n: small, and different from its neighbours'.
std::pair<int, int> sizeOf(const Options& o, long n) {
    if (o.width > 0) return {o.width, o.height};
    return {static_cast<int>(40 + (n * 29) % 100), static_cast<int>(40 + (n * 41) % 100)};
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string resultJSON(const std::string& url, const std::string& width, const std::string& height) {
    return "{\"url\":" + url + ",\"width\":" + width + ",\"height\":" + height + "}";
}

std::string page(const Options& o, int port, long start, bool failing) {
    std::string mode = failing ? o.fail : "";
    if (mode == "garbage") return "<html>this is not {JSON\x01\xff";
    if (mode == "empty-object") return "{}";
    std::string results;
    for (long n = start; n < start + 8; ++n) {
        auto [w, h] = sizeOf(o, n);
        std::string url = jsonString("http://127.0.0.1:" + std::to_string(port) + "/img/" + std::to_string(n) + ".jpg");
        std::string ws = jsonString(std::to_string(w)), hs = jsonString(std::to_string(h));
        if (mode == "url-number") {
            static const char* kinds[] = {"12345", "[\"http://127.0.0.1/img/0.jpg\"]", "{\"href\":\"x\"}", "true", "null"};
            url = kinds[n % 5];
        } else if (mode == "url-file") {
            url = jsonString(n % 2 ? "file:///etc/passwd" : "file:///Applications/Music.app/Default.png");
        } else if (mode == "url-relative") {
            static const char* names[] = {"img/0.jpg", "../../../etc/passwd", "/etc/hosts", "..\\\\secret", "Default"};
            url = jsonString(names[n % 5]);
        } else if (mode == "wrong-types") {
            ws = "{\"w\":" + std::to_string(w) + "}";
            hs = "[" + std::to_string(h) + "]";
        }
        if (!results.empty()) results += ",";
        results += resultJSON(url, ws, hs);
    }
    if (mode == "wrong-types") results = "1,\"two\",null,[3],true," + results;
    std::string body;
    if (mode == "top-array") return "[" + results + "]";
    if (mode == "responsedata-array") return "{\"responseData\":[" + results + "]}";
    if (mode == "results-object") return "{\"responseData\":{\"results\":{\"0\":" + resultJSON("\"x\"", "1", "1") + "}}}";
    body = "{\"responseData\":{\"results\":[" + results + "]},\"responseStatus\":200}";
    if (mode == "big-page") body += std::string(3 * 1024 * 1024, ' ');
    return body;
}

struct Colour {
    uint8_t r, g, b;
};

// The colour of result n's pictures.
Colour colourOf(long n) {
    int hue = static_cast<int>((n * 47) % 360);
    auto channel = [&](int shift) {
        int x = (hue + shift) % 360;
        return static_cast<uint8_t>(x < 120 ? 255 - x * 2 : x < 240 ? 15 : (x - 240) * 2);
    };
    return {channel(0), channel(120), channel(240)};
}

std::string jpegOf(Colour c, int w, int h, bool progressive = false) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = c.r;
        rgb[i + 1] = c.g;
        rgb[i + 2] = c.b;
    }
    std::vector<uint8_t> jpeg = platform::encodeRGBJPEG(rgb, w, h, 85, progressive);
    return std::string(jpeg.begin(), jpeg.end());
}

void pngChunk(std::string& out, const char* type, const std::string& data) {
    auto be32 = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) out += static_cast<char>((v >> s) & 0xff);
    };
    be32(static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    be32(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// An 8-bit RGB PNG, compressed a row at a time (no whole picture in memory);
// interlaced, its rows come in the seven passes of Adam7.
std::string pngOf(Colour c, int w, int h, bool interlaced) {
    std::string ihdr;
    for (uint32_t v : {static_cast<uint32_t>(w), static_cast<uint32_t>(h)})
        for (int s = 24; s >= 0; s -= 8) ihdr += static_cast<char>((v >> s) & 0xff);
    ihdr += std::string("\x08\x02\x00\x00", 4) + static_cast<char>(interlaced ? 1 : 0);
    std::string row(1 + static_cast<size_t>(w) * 3, '\0');
    for (size_t i = 1; i < row.size(); i += 3) {
        row[i] = static_cast<char>(c.r);
        row[i + 1] = static_cast<char>(c.g);
        row[i + 2] = static_cast<char>(c.b);
    }
    // Each pass as (first column, first row, column step, row step).
    struct Pass {
        int x0, y0, dx, dy;
    };
    std::vector<Pass> passes = {{0, 0, 1, 1}};
    if (interlaced) passes = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    z_stream z{};
    deflateInit(&z, 6);
    std::string idat;
    std::vector<unsigned char> buffer(64 * 1024);
    auto put = [&](const char* data, size_t size, bool last) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z.avail_in = static_cast<uInt>(size);
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            idat.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - z.avail_out);
        } while (z.avail_out == 0 || (last && z.avail_in > 0));
    };
    for (const Pass& p : passes) {
        int pw = (w - p.x0 + p.dx - 1) / p.dx, ph = (h - p.y0 + p.dy - 1) / p.dy;
        if (pw <= 0 || ph <= 0) continue;
        for (int y = 0; y < ph; ++y) put(row.data(), 1 + static_cast<size_t>(pw) * 3, false);
    }
    put(nullptr, 0, true);
    deflateEnd(&z);
    std::string out = "\x89PNG\r\n\x1a\n";
    pngChunk(out, "IHDR", ihdr);
    pngChunk(out, "IDAT", idat);
    pngChunk(out, "IEND", "");
    return out;
}

// The JPEG up to its second scan: the header and the first scan only.
std::string firstScanOnly(const std::string& jpeg) {
    size_t first = jpeg.find("\xff\xda");
    size_t second = first == std::string::npos ? first : jpeg.find("\xff\xda", first + 2);
    return second == std::string::npos ? jpeg : jpeg.substr(0, second);
}

int writeMemory(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

// A GIF of one image of one colour filling a w x h screen (at most
// 65535 a side): its LZW data stays a few kilobytes however large it is.
std::string gifOf(Colour c, int w, int h) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeMemory, &error);
    if (gif == nullptr) return {};
    GifColorType colours[2] = {{c.r, c.g, c.b}, {0, 0, 0}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, w, h, 1, 0, map) == GIF_OK && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<size_t>(w), 0);
    for (int y = 0; ok && y < h; ++y) ok = EGifPutLine(gif, line.data(), w) == GIF_OK;
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return ok ? out : std::string();
}

// Result n's picture of w x h in the format asked for.
std::string pictureOf(const std::string& format, long n, int w, int h) {
    Colour c = colourOf(n);
    static const char* mixed[] = {"progressive", "interlaced", "gif", "lying"};
    const std::string kind = format == "mixed" ? mixed[n % 4] : format;
    if (kind == "png" || kind == "interlaced") return pngOf(c, w, h, kind == "interlaced");
    if (kind == "progressive") return jpegOf(c, w, h, true);
    if (kind == "lying") return firstScanOnly(jpegOf(c, w, h, true));
    if (kind == "gif") return gifOf(c, w, h);
    return jpegOf(c, w, h);
}

// A picture of w x h in a colour of result n's own, made once and kept.
std::shared_ptr<const std::string> picture(long n, int w, int h, const std::string& format) {
    static std::mutex lock;
    static std::map<std::tuple<long, int, int, std::string>, std::shared_ptr<const std::string>> made;
    // Mixed pictures differ by their number's kind as well as their colour.
    auto key = std::make_tuple((n * 47) % 360 * 4 + (format == "mixed" ? n % 4 : 0), w, h, format);
    {
        std::lock_guard<std::mutex> g(lock);
        if (auto it = made.find(key); it != made.end()) return it->second;
    }
    auto bytes = std::make_shared<const std::string>(pictureOf(format, n, w, h));
    std::lock_guard<std::mutex> g(lock);
    return made.emplace(key, bytes).first->second;
}

// Rewrites the size in a JPEG's frame header (SOF0).
std::string claimSize(std::string jpeg, int w, int h) {
    for (size_t i = 2; i + 9 < jpeg.size();) {
        if (static_cast<uint8_t>(jpeg[i]) != 0xff) break;
        uint8_t marker = static_cast<uint8_t>(jpeg[i + 1]);
        size_t length = static_cast<uint8_t>(jpeg[i + 2]) << 8 | static_cast<uint8_t>(jpeg[i + 3]);
        if (marker == 0xc0) {
            jpeg[i + 5] = static_cast<char>(h >> 8);
            jpeg[i + 6] = static_cast<char>(h & 0xff);
            jpeg[i + 7] = static_cast<char>(w >> 8);
            jpeg[i + 8] = static_cast<char>(w & 0xff);
            break;
        }
        i += 2 + length;
    }
    return jpeg;
}

void hang() {
    std::unique_lock<std::mutex> lk(hangLock);
    hangWake.wait(lk, [] { return stopping.load(); });
}

}  // namespace

int main(int argc, char** argv) {
    Options o = parse(argc, argv);
    if (!o.log.empty()) {
        logFile.open(o.log, std::ios::app);
        if (!logFile) usage("cannot write " + o.log);
    }
    // SIGTERM and SIGINT stay blocked in every thread (the listener and its
    // workers inherit the mask) and the main loop takes them with
    // sigtimedwait: no handler runs, so none can be left waiting on a thread
    // that sits in accept or a read.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    httplib::Server server;
    int port = o.port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", o.port) ? o.port : -1);
    if (port <= 0) {
        std::cerr << "searchserver: cannot listen on 127.0.0.1:" << o.port << "\n";
        return 1;
    }
    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response&) {
        std::lock_guard<std::mutex> g(stateLock);
        lastRequest = std::chrono::steady_clock::now();
        if (logFile.is_open()) logFile << req.target << std::endl;
        return httplib::Server::HandlerResponse::Unhandled;
    });

    server.Get("/ajax/services/search/images", [&](const httplib::Request& req, httplib::Response& res) {
        auto param = [&](const char* key) { return req.has_param(key) ? req.get_param_value(key) : std::string(); };
        std::optional<long> start = number(param("start"));
        if (param("v") != "1.0" || param("rsz") != "8" || !start || param("as_filetype") != "jpg" || !req.has_param("q")) {
            res.status = 400;
            res.set_content("{\"responseStatus\":400}", "application/json");
            return;
        }
        bool failing = !o.fail.empty() && (o.failStart < 0 || o.failStart == *start);
        if (failing && o.fail == "hang") return hang();
        if (failing && o.fail == "redirect-loop") return res.set_redirect(req.target);
        if (failing && o.fail == "deep") return res.set_content(std::string(1000000, '['), "application/json");
        std::string body = page(o, port, *start, false);
        if (failing && o.fail == "truncated") return res.set_content(body.substr(0, body.size() / 2), "application/json");
        if (failing && (o.fail == "trickle" || o.fail == "endless")) {
            bool trickle = o.fail == "trickle";
            auto text = std::make_shared<std::string>(body);
            res.set_chunked_content_provider("application/json", [text, trickle](size_t offset, httplib::DataSink& sink) {
                constexpr size_t kEndless = 300 * 1024 * 1024;
                if (stopping.load()) return false;
                if (trickle) {
                    std::unique_lock<std::mutex> lk(hangLock);
                    if (offset > 0 && hangWake.wait_for(lk, std::chrono::seconds(1), [] { return stopping.load(); }))
                        return false;
                    if (offset >= text->size()) {
                        sink.done();
                        return true;
                    }
                    return sink.write(text->data() + offset, 1);
                }
                if (offset < text->size()) return sink.write(text->data(), text->size());
                if (offset >= kEndless) {
                    sink.done();
                    return true;
                }
                static const std::string spaces(64 * 1024, ' ');
                return sink.write(spaces.data(), spaces.size());
            });
            return;
        }
        if (failing && o.fail == "status500") {
            res.status = 500;
            res.set_content("{\"responseStatus\":500}", "application/json");
            return;
        }
        res.set_content(page(o, port, *start, failing), "application/json");
    });

    server.Get(R"(/img/(\d{1,6})\.jpg)", [&](const httplib::Request& req, httplib::Response& res) {
        long n = std::stol(req.matches[1]);
        if (o.fail == "picture-hang") return hang();
        if (o.fail == "picture-500") {
            res.status = 500;
            return;
        }
        if (o.fail == "big-picture") {
            auto head = picture(n, 8, 8, "jpeg");
            res.set_chunked_content_provider("image/jpeg", [head](size_t offset, httplib::DataSink& sink) {
                constexpr size_t total = 25 * 1024 * 1024;
                static const std::string filler(64 * 1024, '\0');
                if (offset == 0) return sink.write(head->data(), head->size());
                if (offset >= total) {
                    sink.done();
                    return true;
                }
                return sink.write(filler.data(), filler.size());
            });
            return;
        }
        auto [w, h] = sizeOf(o, n);
        std::shared_ptr<const std::string> bytes = picture(n, w, h, o.format);
        if (o.fail == "huge-header") bytes = std::make_shared<const std::string>(claimSize(*bytes, 30000, 30000));
        const char* type = "image/jpeg";
        if (bytes->compare(0, 4, "\x89PNG") == 0) type = "image/png";
        if (bytes->compare(0, 3, "GIF") == 0) type = "image/gif";
        if (!o.noLength) return res.set_content(*bytes, type);
        res.set_chunked_content_provider(type, [bytes](size_t offset, httplib::DataSink& sink) {
            if (offset >= bytes->size()) {
                sink.done();
                return true;
            }
            return sink.write(bytes->data() + offset, std::min<size_t>(64 * 1024, bytes->size() - offset));
        });
    });

    server.Get(R"(/redirect/(\d{1,3}))", [](const httplib::Request& req, httplib::Response& res) {
        long n = std::stol(req.matches[1]);
        if (n == 0) return res.set_content("arrived", "text/plain");
        res.set_redirect("/redirect/" + std::to_string(n - 1));
    });
    server.Get("/redirect-to", [](const httplib::Request& req, httplib::Response& res) {
        res.set_redirect(req.get_param_value("url"));
    });

    std::atomic<bool> listenerEnded{false};
    std::thread listener([&] {
        server.listen_after_bind();
        listenerEnded = true;
    });
    // stop() does nothing to a server that has not started listening, so a
    // SIGTERM right after the port line would leave the listener in accept
    // for good: the port is told once it listens.
    while (!server.is_running() && !listenerEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::cout << port << std::endl;

    for (;;) {
        const timespec tick{0, 20 * 1000 * 1000};
        if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) break;
        std::lock_guard<std::mutex> g(stateLock);
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - lastRequest).count() >= o.idleExit) break;
    }
    {
        std::lock_guard<std::mutex> g(hangLock);
        stopping = true;
    }
    hangWake.notify_all();
    server.stop();
    listener.join();
    return 0;
}
