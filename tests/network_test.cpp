// The network layer against tools/searchserver on loopback: pages through
// NSData's dataWithContentsOfURL: with their caps, time-out, redirects and
// refused schemes; pictures through AFImageRequestOperation; picture sizes
// read from headers; PNGs decoded straight to a size; and imageNamed:'s
// refusal of paths.
#include "ProcessSupport.h"
#include "SearchServerSupport.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <Foundation/NSURL.h>
#include <Network/AFImageRequestOperation.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>
#include <platform/Network.h>
#include <platform/RunLoop.h>
#include <dispatch/dispatch.h>


#include <algorithm>
#include <atomic>
#include <chrono>
#include <cairo.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

namespace {

using testsupport::binPath;

// No request of these tests may leave the machine.
const bool loopbackOnly = [] {
    platform::net::setLoopbackOnly(true);
    return true;
}();

using test::SearchServer;

id urlOf(const std::string& s) { return objc_msgSend<id(id)>(NSURL::cls(), "URLWithString:"_sel, NSString::make(s)); }

NSData* fetch(const std::string& s) {
    return static_cast<NSData*>(objc_msgSend<id(id)>(NSData::cls(), "dataWithContentsOfURL:"_sel, urlOf(s)));
}

std::string bytesOf(NSData* d) { return d ? std::string(static_cast<const char*>(d->bytes()), d->length()) : ""; }

id parse(NSData* d) {
    return objc_msgSend<id(id, NSUInteger, NSError**)>(NSJSONSerialization::cls(),
                                                       "JSONObjectWithData:options:error:"_sel, d, 0, nullptr);
}
id at(id dict, const char* key) { return static_cast<NSDictionary*>(dict)->objectForKey(NSString::make(key)); }
std::string text(id s) { return objc_isKindOfClass(s, NSString::cls()) ? static_cast<NSString*>(s)->str() : "(none)"; }

// Short time-outs for the tests of a server that never answers.
struct ShortTimeouts {
    ShortTimeouts() { platform::net::setTimeouts(0.2, 0.4); }
    ~ShortTimeouts() { platform::net::resetTimeouts(); }
};

TEST(WebPages, APageArrivesWithItsEightResultsAndTheQueryVerbatim) {
    AutoreleasePool pool;
    SearchServer server;
    std::string query = "red%20car%26more+%C3%A9";
    NSData* data = fetch(server.page(8, query));
    ASSERT_NE(data, nullptr);
    id root = parse(data);
    auto* results = static_cast<NSArray*>(at(at(root, "responseData"), "results"));
    ASSERT_TRUE(objc_isKindOfClass(results, NSArray::cls()));
    ASSERT_EQ(results->count(), 8u);
    for (NSUInteger i = 0; i < 8; ++i) {
        EXPECT_EQ(text(at(results->at(i), "url")), server.base() + "/img/" + std::to_string(8 + i) + ".jpg");
        EXPECT_NE(text(at(results->at(i), "width")), "(none)");
    }
    std::vector<std::string> seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "/ajax/services/search/images?v=1.0&rsz=8&start=8&as_filetype=jpg&q=red%20car%26more+%C3%A9");
    EXPECT_EQ(platform::net::activityCount(), 0u);
}

// The way pages are fetched for the grid: on a global queue, the result
// handed to the main queue. The wait ends only after it was handed over.
TEST(WebPages, WorkOnAGlobalQueueIsWaitedForUntilItDelivers) {
    SearchServer server;
    auto delivered = std::make_shared<int>(0);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&server, delivered] {
        size_t length = 0;
        for (int start : {0, 8, 16}) length += fetch(server.page(start))->length();
        dispatch_async(dispatch_get_main_queue(), [delivered, length] { *delivered = length > 0 ? 1 : -1; });
    });
    ASSERT_TRUE(platform::waitForNetworkIdle(30));
    EXPECT_EQ(*delivered, 1);
}

TEST(WebPages, FailedOrOversizedPagesGiveNil) {
    AutoreleasePool pool;
    {
        SearchServer server({"--fail", "status500"});
        EXPECT_EQ(fetch(server.page(0)), nullptr);
        EXPECT_EQ(fetch(server.base() + "/no/such/path"), nullptr);
    }
    {
        // 3 MB is past the 2 MB a page may have.
        SearchServer server({"--fail", "big-page", "--fail-start", "8"});
        EXPECT_NE(fetch(server.page(0)), nullptr);
        EXPECT_EQ(fetch(server.page(8)), nullptr);
    }
    {
        SearchServer server({"--fail", "garbage"});
        NSData* data = fetch(server.page(0));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(parse(data), nil);
    }
}

TEST(WebPages, AServerThatNeverAnswersTimesOut) {
    AutoreleasePool pool;
    SearchServer server({"--fail", "hang"});
    ShortTimeouts shortly;
    platform::net::Response r = platform::net::HTTPRequest(server.page(0), 1024).perform();
    EXPECT_EQ(r.failure, platform::net::Failure::Timeout);
    EXPECT_EQ(fetch(server.page(0)), nullptr);
}

TEST(WebPages, RedirectsAreFollowedFiveTimesAndOnlyToTheWeb) {
    AutoreleasePool pool;
    SearchServer server;
    EXPECT_EQ(bytesOf(fetch(server.base() + "/redirect/5")), "arrived");
    EXPECT_EQ(fetch(server.base() + "/redirect/6"), nullptr);
    EXPECT_EQ(platform::net::HTTPRequest(server.base() + "/redirect/6", 1024).perform().failure,
              platform::net::Failure::TooManyRedirects);
    for (const char* target : {"file:///etc/passwd", "ftp://127.0.0.1/x", "gopher://127.0.0.1/", "dict://127.0.0.1/"}) {
        SCOPED_TRACE(target);
        platform::net::Response r =
            platform::net::HTTPRequest(server.base() + "/redirect-to?url=" + target, 1024).perform();
        EXPECT_EQ(r.failure, platform::net::Failure::Refused);
        EXPECT_TRUE(r.body.empty());
    }
}

TEST(WebPages, OnlyWebAndFileURLsAreRead) {
    test::TempRoot root;
    AutoreleasePool pool;
    std::filesystem::create_directories(root.host("/tmp"));
    std::ofstream(root.host("/tmp/page.json")) << "[1]";
    EXPECT_EQ(bytesOf(fetch("file:///tmp/page.json")), "[1]");
    for (const char* refused : {"ftp://127.0.0.1/page", "gopher://127.0.0.1/", "dict://127.0.0.1:1/x", "data:,hello"}) {
        SCOPED_TRACE(refused);
        EXPECT_EQ(fetch(refused), nullptr);
    }
    EXPECT_EQ(platform::net::HTTPRequest("ftp://127.0.0.1/", 10).perform().failure, platform::net::Failure::Refused);
    EXPECT_EQ(platform::net::HTTPRequest("not a url", 10).perform().failure, platform::net::Failure::BadURL);
}

TEST(WebPages, ConnectionsOffLoopbackAreRefusedInTests) {
    AutoreleasePool pool;
    size_t before = platform::net::refusedOffLoopback();
    platform::net::Response r = platform::net::HTTPRequest("http://192.0.2.1:9/", 10).perform();
    EXPECT_EQ(r.failure, platform::net::Failure::Refused);
    EXPECT_EQ(platform::net::refusedOffLoopback(), before + 1);
}

// --- Pictures ------------------------------------------------------------------

struct Delivery {
    int calls = 0;
    int width = 0, height = 0;
    bool onMainThread = false;
};

// An operation for `address` that records what its success block receives.
id loader(const std::string& address, std::shared_ptr<Delivery> d) {
    id request = objc_msgSend<id(id)>(NSURLRequest::cls(), "requestWithURL:"_sel, urlOf(address));
    NSBlock* block = objc_block<void(UIImage*)>([d](UIImage* image) {
        ++d->calls;
        d->onMainThread = platform::RunLoop::main().isServingThread() && gettid() == getpid();
        d->width = image ? image->pixelWidth() : -1;
        d->height = image ? image->pixelHeight() : -1;
    });
    return objc_msgSend<id(id, id)>(AFImageRequestOperation::cls(), "imageRequestOperationWithRequest:success:"_sel,
                                    request, block);
}

// Starts a load, lets go of the operation and waits for the network to settle.
std::shared_ptr<Delivery> load(const std::string& address) {
    auto d = std::make_shared<Delivery>();
    {
        AutoreleasePool pool;
        objc_msgSend<void()>(loader(address, d), "start"_sel);
    }
    EXPECT_TRUE(platform::waitForNetworkIdle(30));
    return d;
}

TEST(WebPictures, APictureArrivesDecodedOnTheMainQueue) {
    SearchServer server;
    std::shared_ptr<Delivery> d = load(server.base() + "/img/9.jpg");
    EXPECT_EQ(d->calls, 1);
    EXPECT_TRUE(d->onMainThread);
    // The page lists result 9 with its size; the picture has that size.
    AutoreleasePool pool;
    auto* results = static_cast<NSArray*>(at(at(parse(fetch(server.page(8))), "responseData"), "results"));
    EXPECT_EQ(std::to_string(d->width), text(at(results->at(1), "width")));
    EXPECT_EQ(std::to_string(d->height), text(at(results->at(1), "height")));
}

TEST(WebPictures, PicturesPastTheCapsAreRefused) {
    struct Case {
        std::vector<std::string> server;
        int calls;
    } cases[] = {
        {{"--fail", "big-picture"}, 0},                // 25 MB, past the 20 MB cap
        {{"--fail", "huge-header"}, 0},                // claims 30000 x 30000
        {{"--picture-size", "5001x5000"}, 0},          // just past 25 megapixels
        {{"--picture-size", "5000x5000"}, 1},          // exactly 25 megapixels
        {{"--fail", "picture-500"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.server));
        SearchServer server(c.server);
        std::shared_ptr<Delivery> d = load(server.base() + "/img/3.jpg");
        EXPECT_EQ(d->calls, c.calls);
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

TEST(WebPictures, OnlyWebAddressesAreRequested) {
    for (const char* address : {"file:///etc/passwd", "ftp://127.0.0.1/x.jpg"}) {
        auto d = std::make_shared<Delivery>();
        AutoreleasePool pool;
        objc_msgSend<void()>(loader(address, d), "start"_sel);
        EXPECT_EQ(platform::net::activityCount(), 0u);
        EXPECT_TRUE(platform::waitForNetworkIdle(5));
        EXPECT_EQ(d->calls, 0);
    }
}

TEST(WebPictures, ACancelledLoadNeverCallsBack) {
    ShortTimeouts shortly;
    {
        // Cancelled while the server keeps it waiting.
        SearchServer server({"--fail", "picture-hang"});
        auto d = std::make_shared<Delivery>();
        AutoreleasePool pool;
        id op = loader(server.base() + "/img/1.jpg", d);
        objc_msgSend<void()>(op, "start"_sel);
        objc_msgSend<void()>(op, "cancel"_sel);
        EXPECT_TRUE(objc_msgSend<BOOL()>(op, "isCancelled"_sel));
        EXPECT_TRUE(platform::waitForNetworkIdle(30));
        EXPECT_EQ(d->calls, 0);
    }
    {
        // Cancelled when its picture already waits on the main queue.
        SearchServer server;
        auto d = std::make_shared<Delivery>();
        AutoreleasePool pool;
        id op = loader(server.base() + "/img/1.jpg", d);
        objc_msgSend<void()>(op, "start"_sel);
        for (int i = 0; i < 3000 && platform::RunLoop::main().postedCount() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_GT(platform::RunLoop::main().postedCount(), 0u);
        objc_msgSend<void()>(op, "cancel"_sel);
        EXPECT_TRUE(platform::waitForNetworkIdle(30));
        EXPECT_EQ(d->calls, 0);
        // A cancelled operation does not start again.
        objc_msgSend<void()>(op, "start"_sel);
        EXPECT_TRUE(platform::waitForNetworkIdle(30));
        EXPECT_EQ(d->calls, 0);
        EXPECT_EQ(server.requests().size(), 1u);
    }
}

TEST(WebPictures, ManyLoadsAllArriveBeforeTheWaitEnds) {
    SearchServer server;
    std::vector<std::shared_ptr<Delivery>> all;
    {
        AutoreleasePool pool;
        for (int i = 0; i < 24; ++i) {
            all.push_back(std::make_shared<Delivery>());
            objc_msgSend<void()>(loader(server.base() + "/img/" + std::to_string(i) + ".jpg", all.back()), "start"_sel);
        }
    }
    ASSERT_TRUE(platform::waitForNetworkIdle(60));
    for (const auto& d : all) EXPECT_EQ(d->calls, 1);
    EXPECT_EQ(class_getLiveInstanceCount(AFImageRequestOperation::cls()), 0u);
}

// A picture asked for at a size is decoded about that large, whatever its
// format and whether or not its length is declared; decoded again for a
// pick it is at most 2048 pixels a side. Without a size it is bounded too.
TEST(WebPictures, LargePicturesAreDecodedAtTheSizeTheyAreShown) {
    platform::resetMainScreen();  // scale 2: 100 points are 200 pixels
    for (const test::LargePicture& c : test::largePictures()) {
        SCOPED_TRACE(testing::PrintToString(c.server));
        SearchServer server(c.server);
        Strong<NSObject> shown, unsized;
        {
            AutoreleasePool pool;
            for (bool sized : {true, false}) {
                Strong<NSObject>& into = sized ? shown : unsized;
                id request = objc_msgSend<id(id)>(NSURLRequest::cls(), "requestWithURL:"_sel, urlOf(server.base() + "/img/3.jpg"));
                id op = objc_msgSend<id(id, id)>(
                    AFImageRequestOperation::cls(), "imageRequestOperationWithRequest:success:"_sel, request,
                    objc_block<void(UIImage*)>([&into](UIImage* image) { into = image; }));
                if (sized) objc_msgSend<void(CGSize)>(op, "_setFittingSize:"_sel, CGSizeMake(100, 100));
                objc_msgSend<void()>(op, "start"_sel);
            }
        }
        ASSERT_TRUE(platform::waitForNetworkIdle(30));
        auto* tile = static_cast<UIImage*>(objc::as_id(shown.get()));
        ASSERT_NE(tile, nullptr);
        // Covers the 200 x 200 pixels it is shown at (a panorama may give up
        // some of its width), with no more than twice their pixels.
        EXPECT_LE(static_cast<double>(tile->pixelWidth()) * tile->pixelHeight(), 2.0 * 200 * 200 * 1.01);
        EXPECT_GE(std::max(tile->pixelWidth(), tile->pixelHeight()), 200);
        for (UIImage* picked : {static_cast<UIImage*>(objc_msgSend<id(NSUInteger)>(tile, "_imageWithMaxPixelSide:"_sel, 2048)),
                                static_cast<UIImage*>(objc::as_id(unsized.get()))}) {
            ASSERT_NE(picked, nullptr);
            EXPECT_EQ(picked->pixelWidth(), c.pickedWidth);
            EXPECT_EQ(picked->pixelHeight(), c.pickedHeight);
        }
    }
}

// At most four pictures are fetched at a time; the others wait their turn
// and give up with their own time-out.
TEST(WebPictures, AtMostFourDownloadsAtATime) {
    platform::net::setTimeouts(1, 2);
    SearchServer server({"--fail", "picture-hang"});
    std::vector<std::shared_ptr<Delivery>> all;
    {
        AutoreleasePool pool;
        for (int i = 0; i < 12; ++i) {
            all.push_back(std::make_shared<Delivery>());
            objc_msgSend<void()>(loader(server.base() + "/img/" + std::to_string(i) + ".jpg", all.back()), "start"_sel);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(server.requests().size(), 4u);
    EXPECT_TRUE(platform::waitForNetworkIdle(30));
    for (const auto& d : all) EXPECT_EQ(d->calls, 0);
    platform::net::resetTimeouts();
}

// A picture whose decode waits for room in picture memory past its
// download's time-out still arrives once the room comes: the wait ends with
// the memory, not with the clock.
TEST(WebPictures, ADecodeWaitsForRoomPastTheDownloadsTimeOut) {
    platform::net::setTimeouts(1, 1);
    SearchServer server({"--picture-size", "64x48"});
    platform::MemoryBudget& memory = platform::pictureMemory();
    auto rest = std::make_unique<platform::MemoryBudget::Hold>(&memory);
    ASSERT_TRUE(rest->grow(memory.limit() - memory.inUse() - (256u << 10)));  // room for the body, not the decode
    auto d = std::make_shared<Delivery>();
    {
        AutoreleasePool pool;
        objc_msgSend<void()>(loader(server.base() + "/img/1.jpg", d), "start"_sel);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(d->calls, 0);
    rest.reset();
    EXPECT_TRUE(platform::waitForNetworkIdle(30));
    EXPECT_EQ(d->calls, 1);
    platform::net::resetTimeouts();
}

// Bodies that share a budget take from it as they grow and give it all
// back when they go; one that would pass it fails as too large.
TEST(WebPages, BodiesShareABudgetOfBytesInFlight) {
    SearchServer server({"--picture-size", "3000x2000", "--no-length"});
    std::string address = server.base() + "/img/1.jpg";
    size_t size = platform::net::HTTPRequest(address, 1 << 24).perform().body.size();
    ASSERT_GT(size, 8192u);
    platform::MemoryBudget small(size / 2), roomy(4 * size);
    platform::net::Response refused = platform::net::HTTPRequest(address, 1 << 24).sharing(&small).perform();
    EXPECT_EQ(refused.failure, platform::net::Failure::TooLarge);
    EXPECT_NE(refused.message.find("in flight"), std::string::npos) << refused.message;
    EXPECT_EQ(small.inUse(), 0u);
    {
        platform::net::Response a = platform::net::HTTPRequest(address, 1 << 24).sharing(&roomy).perform();
        platform::net::Response b = platform::net::HTTPRequest(address, 1 << 24).sharing(&roomy).perform();
        ASSERT_TRUE(a.ok() && b.ok());
        EXPECT_EQ(a.body.size(), size);
        EXPECT_GE(roomy.inUse(), 2 * size);
        EXPECT_LE(roomy.inUse(), 4 * size);
    }
    EXPECT_EQ(roomy.inUse(), 0u);
    // A body that reaches its cap takes no more memory than the cap.
    platform::MemoryBudget exact(1 << 26);
    platform::net::Response tight = platform::net::HTTPRequest(address, size + 16).sharing(&exact).perform();
    ASSERT_TRUE(tight.ok());
    EXPECT_LE(tight.body.capacity(), size + 16);
    EXPECT_GE(exact.inUse(), size);  // what the budget counts is what it holds
    EXPECT_LE(exact.inUse(), size + 16);
}

// A request's time-out ends it whatever the server does (one byte a second
// here), with the reason in its error; a request has 60 s unless told.
TEST(WebPages, ARequestEndsAtItsTimeoutWithTheReason) {
    AutoreleasePool pool;
    SearchServer server({"--fail", "trickle"});
    id request = objc_msgSend<id(id, NSUInteger, double)>(NSURLRequest::cls(), "requestWithURL:cachePolicy:timeoutInterval:"_sel,
                                                          urlOf(server.page(0)), 0, 1.5);
    EXPECT_EQ(objc_msgSend<double()>(request, "timeoutInterval"_sel), 1.5);
    EXPECT_EQ(objc_msgSend<double()>(objc_msgSend<id(id)>(NSURLRequest::cls(), "requestWithURL:"_sel, urlOf(server.page(0))),
                                     "timeoutInterval"_sel),
              60.0);
    NSError* error = nullptr;
    auto t0 = std::chrono::steady_clock::now();
    id data = objc_msgSend<id(id, id*, NSError**)>(NSURLConnection::cls(),
                                                    "sendSynchronousRequest:returningResponse:error:"_sel, request, nullptr,
                                                    &error);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(data, nil);
    EXPECT_LT(took, 1.5 + 3);  // a generous margin: the page alone would take minutes
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(objc_msgSend<NSInteger()>(error, "code"_sel), -1001);  // NSURLErrorTimedOut
    EXPECT_FALSE(text(objc_msgSend<id()>(error, "localizedDescription"_sel)).empty());
    // A good page arrives the same way.
    SearchServer good;
    id fine = objc_msgSend<id(id, NSUInteger, double)>(NSURLRequest::cls(), "requestWithURL:cachePolicy:timeoutInterval:"_sel,
                                                       urlOf(good.page(0)), 0, 10.0);
    auto* body = static_cast<NSData*>(objc_msgSend<id(id, id*, NSError**)>(
        NSURLConnection::cls(), "sendSynchronousRequest:returningResponse:error:"_sel, fine, nullptr, nullptr));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(bytesOf(body), bytesOf(fetch(good.page(0))));
}

TEST(SearchServerTool, StopsWhenIdleOrAskedAndRefusesOtherQueries) {
    {
        testsupport::Child idle({binPath("searchserver"), "--idle-exit", "0.3"});
        ASSERT_TRUE(idle.readLine(20));
        std::optional<int> status = idle.waitExit(20);
        ASSERT_TRUE(status);
        EXPECT_EQ(*status, 0);
    }
    {
        testsupport::Child asked({binPath("searchserver"), "--idle-exit", "60"});
        ASSERT_TRUE(asked.readLine(20));
        kill(asked.pid(), SIGTERM);
        std::optional<int> status = asked.waitExit(20);
        ASSERT_TRUE(status);
        EXPECT_EQ(*status, 0);
    }
    SearchServer server;
    for (const char* query : {"v=1.0&rsz=8&start=0&as_filetype=jpg", "v=2.0&rsz=8&start=0&as_filetype=jpg&q=a",
                              "v=1.0&rsz=9&start=0&as_filetype=jpg&q=a", "v=1.0&rsz=8&start=x&as_filetype=jpg&q=a"}) {
        SCOPED_TRACE(query);
        platform::net::Response r =
            platform::net::HTTPRequest(server.base() + "/ajax/services/search/images?" + query, 1024).perform();
        EXPECT_EQ(r.failure, platform::net::Failure::Status);
        EXPECT_EQ(r.status, 400);
    }
}

// --- Headers and names ------------------------------------------------------------

TEST(PictureHeaders, SizesAreReadWithoutDecoding) {
    std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x75\x30\0\0\x01\x2c", 24);
    std::string gif = std::string("GIF89a\x30\x75\x2c\x01", 10);
    std::vector<uint8_t> rgb(16 * 8 * 3, 0x80);
    std::vector<uint8_t> jpegBytes = platform::encodeRGBJPEG(rgb, 16, 8, 80);
    std::string jpeg(jpegBytes.begin(), jpegBytes.end());
    struct Case {
        std::string bytes;
        bool known;
        uint64_t width, height;
    } cases[] = {
        {png, true, 30000, 300}, {gif, true, 30000, 300}, {jpeg, true, 16, 8},
        {"not a picture", false, 0, 0}, {png.substr(0, 20), false, 0, 0}, {jpeg.substr(0, 10), false, 0, 0},
    };
    for (const Case& c : cases) {
        uint64_t w = 0, h = 0;
        EXPECT_EQ(platform::imagePixelSize(c.bytes.data(), c.bytes.size(), w, h), c.known);
        if (c.known) {
            EXPECT_EQ(w, c.width);
            EXPECT_EQ(h, c.height);
        }
    }
}

// An RGBA PNG of width x height through libpng, Adam7-interlaced or not:
// the left half opaque red, the right half blue at half opacity.
std::string halvesPNG(unsigned width, unsigned height, bool interlaced, int level = Z_DEFAULT_COMPRESSION) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "";
    }
    png_set_write_fn(
        png, &out, [](png_structp p, png_bytep data, png_size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<char*>(data), n);
        },
        nullptr);
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(4 * static_cast<size_t>(width));
    for (unsigned x = 0; x < width; ++x) {
        bool left = x < width / 2;
        uint8_t pixel[4] = {static_cast<uint8_t>(left ? 255 : 0), 0, static_cast<uint8_t>(left ? 0 : 255),
                            static_cast<uint8_t>(left ? 255 : 128)};
        std::memcpy(&row[4 * static_cast<size_t>(x)], pixel, 4);
    }
    int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (unsigned y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// PNGs are averaged down as they are read, colours and transparency kept;
// an interlaced one is decoded whole and so refused past 16 megapixels; a
// PNG cut short gives nothing.
TEST(PictureDecoding, PNGsAreDecodedStraightToTheSizeAsked) {
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "plain");
        std::string bytes = halvesPNG(800, 400, interlaced);
        ASSERT_FALSE(bytes.empty());
        platform::ImageFit fit;
        fit.coverWidth = 100;
        fit.coverHeight = 100;  // covered by 200 x 100
        cairo_surface_t* s = platform::decodeImage(bytes.data(), bytes.size(), fit);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(cairo_image_surface_get_width(s), 200);
        EXPECT_EQ(cairo_image_surface_get_height(s), 100);
        cairo_surface_flush(s);
        auto at = [&](int x, int y) {
            return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s) +
                                                     y * cairo_image_surface_get_stride(s))[x];
        };
        EXPECT_EQ(at(10, 50), 0xFFFF0000u);  // opaque red
        uint32_t blue = at(190, 50);         // blue at half opacity, premultiplied
        EXPECT_NEAR(static_cast<int>(blue >> 24), 128, 1);
        EXPECT_NEAR(static_cast<int>(blue & 0xff), 128, 1);
        EXPECT_EQ(blue & 0x00ffff00u, 0u);
        cairo_surface_destroy(s);
        std::string cut = bytes.substr(0, bytes.size() / 2);
        EXPECT_EQ(platform::decodeImage(cut.data(), cut.size(), fit), nullptr);
    }
    std::string big = halvesPNG(5000, 4000, true);  // 20 megapixels, interlaced
    platform::ImageFit fit;
    fit.coverWidth = fit.coverHeight = 100;
    EXPECT_EQ(platform::decodeImage(big.data(), big.size(), fit), nullptr);
    std::string plain = halvesPNG(5000, 4000, false);
    cairo_surface_t* s = platform::decodeImage(plain.data(), plain.size(), fit);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(s), 125);
    EXPECT_EQ(cairo_image_surface_get_height(s), 100);
    cairo_surface_destroy(s);
}

// What a decode took leaves the process when it ends, whatever sizes the
// allocator has learnt to keep for itself: here a 3000 x 3000 progressive
// JPEG (27 MB of coefficients held while it decodes), decoded on a thread of
// its own after the process has freed a block of 33 MB.
TEST(PictureDecoding, ADecodesMemoryLeavesTheProcessWhenItEnds) {
    std::vector<uint8_t> rgb(3000 * 3000 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 / 3);
    std::vector<uint8_t> jpeg = platform::encodeRGBJPEG(rgb, 3000, 3000, 80, true);
    ASSERT_FALSE(jpeg.empty());
    std::vector<uint8_t>().swap(rgb);
    std::thread([] {
        auto* block = static_cast<volatile char*>(std::malloc(33'000'000));
        if (block != nullptr) block[0] = 1;
        std::free(const_cast<char*>(block));
    }).join();
    auto residentMB = [] {
        std::ifstream in("/proc/self/status");
        for (std::string line; std::getline(in, line);)
            if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
        return 0.0;
    };
    double before = residentMB();
    std::thread([&] {
        platform::ImageFit fit;
        fit.coverWidth = fit.coverHeight = 100;
        cairo_surface_t* s = platform::decodeImage(jpeg.data(), jpeg.size(), fit);
        EXPECT_NE(s, nullptr);
        cairo_surface_destroy(s);
    }).join();
    EXPECT_LT(residentMB() - before, 12.0) << "MB still resident after the decode";
}

// Every decode holds its share of one budget for the process: while the
// budget is taken a decode waits its turn, and gives up when its wait runs
// out; one that needs more than the whole budget is refused at once.
TEST(PictureDecoding, DecodesWaitTheirTurnWithinOneBudget) {
    std::string whole = halvesPNG(8000, 5000, false, Z_BEST_SPEED);  // 160 MB decoded whole, under the pixel limit
    auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::decodeImage(whole.data(), whole.size()), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5)) << "waited for a turn that cannot come";

    std::string png = halvesPNG(800, 400, false);
    platform::ImageFit fit;
    fit.coverWidth = fit.coverHeight = 100;
    auto taken = std::make_unique<platform::MemoryBudget::Hold>(&platform::pictureMemory());
    ASSERT_TRUE(taken->grow(platform::kPictureMemoryBytes - platform::pictureMemory().inUse()));
    platform::DecodeLimits brief;
    brief.waitSeconds = 0.05;
    EXPECT_EQ(platform::decodeImage(png.data(), png.size(), fit, brief), nullptr) << "no turn in time";
    std::atomic<bool> done{false};
    cairo_surface_t* late = nullptr;
    std::thread waiting([&] {
        late = platform::decodeImage(png.data(), png.size(), fit);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(done.load()) << "decoded while the whole budget was taken";
    taken.reset();
    waiting.join();
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(late), 200);
    cairo_surface_destroy(late);
}

// Two holders that each wait for what the other holds: the first to find
// that nobody else runs is refused at once and gives back, and the other
// then gets its bytes. Kept bytes never pass their share of the limit.
TEST(PictureMemory, HoldersWaitingOnEachOtherAreNotLeftWaiting) {
    platform::MemoryBudget budget(100, 20);
    platform::MemoryBudget::Hold kept(&budget, platform::MemoryBudget::Hold::Kept);
    EXPECT_FALSE(kept.grow(21));
    ASSERT_TRUE(kept.grow(10));
    platform::MemoryBudget::Hold a(&budget), b(&budget);
    ASSERT_TRUE(a.grow(50));
    ASSERT_TRUE(b.grow(30));
    auto asked = std::chrono::steady_clock::now();
    auto ask = [&](platform::MemoryBudget::Hold& h) {
        bool ok = h.growWaiting(25, asked + std::chrono::seconds(10));
        if (!ok) h.release();
        return ok;
    };
    bool aGot = false;
    std::thread other([&] { aGot = ask(a); });
    bool bGot = ask(b);
    other.join();
    EXPECT_NE(aGot, bGot);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5)) << "left waiting";
    EXPECT_EQ(budget.inUse(), aGot ? 85u : 65u);
}

// Kept picture bytes and the bodies of pictures being fetched draw on the
// memory that decodes take: while all of it is taken, a picture's bytes are
// not kept and a body finds no room within its time.
TEST(PictureMemory, KeptBytesAndBodiesShareTheDecodersMemory) {
    SearchServer server({"--picture-size", "300x200"});
    platform::MemoryBudget& memory = platform::pictureMemory();
    auto rest = std::make_unique<platform::MemoryBudget::Hold>(&memory);
    ASSERT_TRUE(rest->grow(platform::kPictureMemoryBytes - memory.inUse()));
    EXPECT_EQ(platform::ImageSource::keep(std::string(1000, 'x')), nullptr);
    platform::net::Response body = platform::net::HTTPRequest(server.base() + "/img/1.jpg", 1 << 24)
                                       .until(std::chrono::steady_clock::now() + std::chrono::milliseconds(300))
                                       .sharing(&memory)
                                       .perform();
    EXPECT_FALSE(body.ok());
    rest.reset();
    size_t before = memory.inUse();
    auto kept = platform::ImageSource::keep(std::string(1000, 'x'));
    ASSERT_NE(kept, nullptr);
    EXPECT_GE(memory.inUse(), before + 1000);
}

TEST(PictureNames, NamesThatLeaveTheBundleFolderAreRefused) {
    test::TempRoot root;
    AutoreleasePool pool;
    std::vector<uint8_t> rgb(4 * 4 * 3, 0x40);
    std::vector<uint8_t> jpeg = platform::encodeRGBJPEG(rgb, 4, 4, 80);
    for (const char* path : {"/Applications/Music.app/pic.jpg", "/Applications/Music.app/sub/pic.jpg",
                             "/Applications/pic.jpg", "/Applications/Music.app/a..b.jpg", "/etc/pic.jpg"}) {
        std::filesystem::create_directories(std::filesystem::path(root.host(path)).parent_path());
        std::ofstream(root.host(path), std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
    }
    auto named = [](const char* name) {
        return objc_msgSend<id(id)>(UIImage::cls(), "imageNamed:"_sel, NSString::make(name));
    };
    EXPECT_NE(named("pic"), nil);
    EXPECT_NE(named("/Applications/Music.app/pic.jpg"), nil);
    for (const char* refused : {"sub/pic", "../pic", "..", "a..b", "sub\\pic", "..\\..\\pic", "./sub/pic",
                                "/Applications/Music.app/../pic.jpg", "/etc/../etc/pic.jpg"}) {
        SCOPED_TRACE(refused);
        EXPECT_EQ(named(refused), nil);
    }
}

}  // namespace
