#include "CustomDataSource.h"

#include "Cantrel.h"
#include "Libs/MosaicLayout/Entities/MosaicData.h"
#include "NSDictionary+JSONCategories.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace cantrel::imagesearch {

std::string endpoint() {
    const char* set = std::getenv("CANTREL_IMAGE_SEARCH_ENDPOINT");
    std::string base = set != nullptr ? set : "";
    // Only a web service: never a file read through a file: address.
    if (!base.starts_with("http://") && !base.starts_with("https://")) base = kDefaultEndpoint;
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base;
}

namespace {
std::atomic<double> searchTime{kSearchSeconds};
}  // namespace

double searchSeconds() { return searchTime.load(); }
void setSearchSeconds(double seconds) { searchTime.store(seconds > 0 ? seconds : kSearchSeconds); }

std::string pageAddress(const std::string& query, unsigned long page) {
    return endpoint() + "/ajax/services/search/images?v=1.0&rsz=" + std::to_string(kResultsPerPage) +
           "&start=" + std::to_string(page * kResultsPerPage) + "&as_filetype=jpg&q=" + query;
}

}  // namespace cantrel::imagesearch

namespace {

using namespace cantrel::imagesearch;

bool isKind(id obj, const char* className) {
    Class cls = objc_getClass(className);
    return obj != nil && cls != nil && objc_isKindOfClass(obj, cls);
}

id elements(CustomDataSource* self, SEL) {
    std::lock_guard<std::mutex> g(self->lock);
    return objc_autorelease(objc_retain(objc::as_id(self->elements.get())));
}

id searchString(CustomDataSource* self, SEL) {
    std::lock_guard<std::mutex> g(self->lock);
    return objc_autorelease(objc_retain(objc::as_id(self->searchString.get())));
}

void setSearchString(CustomDataSource* self, SEL, id value) {
    id copy = objc_msgSend<id()>(value, "copy"_sel);
    Strong<NSString> old;
    std::lock_guard<std::mutex> g(self->lock);
    old = std::move(self->searchString);
    self->searchString = Strong<NSString>::adopt(static_cast<NSString*>(copy));
}

id init(CustomDataSource* self, SEL) {
    self = static_cast<CustomDataSource*>(objc_msgSendSuper<id()>(self, CustomDataSource::cls(), "init"_sel));
    if (self == nullptr) return nil;
    self->elements = Strong<NSMutableArray>::adopt(static_cast<NSMutableArray*>(
        objc_msgSend<id()>(objc_msgSend<id()>(NSMutableArray::cls(), "alloc"_sel), "init"_sel)));
    return self;
}

// The results of one page's answer: only an object whose "responseData" is
// an object whose "results" is an array; nil for anything else.
id resultsOf(id answer) {
    if (!isKind(answer, "NSDictionary")) return nil;
    id data = objc_msgSend<id(id)>(answer, "objectForKey:"_sel, "responseData"_ns);
    if (!isKind(data, "NSDictionary")) return nil;
    id results = objc_msgSend<id(id)>(data, "objectForKey:"_sel, "results"_ns);
    return isKind(results, "NSArray") ? results : nil;
}

id elementOf(id result) {
    id url = objc_msgSend<id(id)>(result, "objectForKey:"_sel, "url"_ns);
    if (!isKind(url, "NSString")) url = nil;  // a number, array or object is no address
    id title = NSStringWithFormat("%@x%@", objc_msgSend<id(id)>(result, "objectForKey:"_sel, "width"_ns),
                                  objc_msgSend<id(id)>(result, "objectForKey:"_sel, "height"_ns));
    id element = objc_msgSend<id()>(objc_msgSend<id()>(MosaicData::cls(), "alloc"_sel), "init"_sel);
    objc_msgSend<void(id)>(element, "setImageFilename:"_sel, url);
    objc_msgSend<void(id)>(element, "setTitle:"_sel, title);
    objc_msgSend<void(BOOL)>(element, "setFirstTimeShown:"_sel, YES);
    objc_msgSend<void(int)>(element, "setLayoutType:"_sel, MosaicLayoutTypeUndefined);
    objc_msgSend<void(float)>(element, "setRelativeHeight:"_sel, 0.0f);
    return objc_autorelease(element);
}

}  // namespace

id cantrel::imagesearch::elementsOfPage(id answer) {
    id elements = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    id results = resultsOf(answer);
    NSUInteger n = objc_msgSend<NSUInteger()>(results, "count"_sel);
    for (NSUInteger i = 0; i < n; ++i) {
        id result = objc_msgSend<id(NSUInteger)>(results, "objectAtIndex:"_sel, i);
        if (!isKind(result, "NSDictionary")) continue;  // only objects are results
        objc_msgSend<void(id)>(elements, "addObject:"_sel, elementOf(result));
    }
    return elements;
}

namespace {

void loadFromDisk(CustomDataSource* self, SEL) {
    AutoreleasePool pool;
    id fresh = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    {
        Strong<NSMutableArray> old;
        std::lock_guard<std::mutex> g(self->lock);
        old = std::move(self->elements);
        self->elements = static_cast<NSMutableArray*>(fresh);
    }
    std::string query = to_string(static_cast<NSString*>(objc_msgSend<id()>(self, "searchString"_sel)));
    // One deadline for the three pages together, whatever the service does.
    constexpr double kLeastPageSeconds = 0.1;
    using Clock = std::chrono::steady_clock;
    double allowed = searchSeconds();
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(allowed));
    for (unsigned long page = 0; page < kPages; ++page) {
        AutoreleasePool pagePool;
        id address = NSString::make(pageAddress(query, page));
        CLog("CustomDataSource - searchString: %@", address);
        double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        // A slow page's time-out may fire a little before the deadline: what
        // is left then is no time to ask a page in.
        if (left < kLeastPageSeconds) {
            NSLog("** Cantrel ** image search: page %lu not asked: the search's %g s are over", page, allowed);
            continue;
        }
        std::string why;
        id answer = cantrel::json::objectAtAddress(address, left, why);
        if (answer == nil)
            NSLog("** Cantrel ** image search: page %lu failed: %@", page, NSString::make(why));
        objc_msgSend<void(id)>(fresh, "addObjectsFromArray:"_sel, elementsOfPage(answer));
    }
}

NSInteger numberOfSections(CustomDataSource*, SEL, id) { return 1; }

NSInteger numberOfItems(CustomDataSource* self, SEL, id, NSInteger) {
    return static_cast<NSInteger>(objc_msgSend<NSUInteger()>(objc_msgSend<id()>(self, "elements"_sel), "count"_sel));
}

id cellForItem(CustomDataSource* self, SEL, id collectionView, id path) {
    id cell = objc_msgSend<id(id, id)>(collectionView, "dequeueReusableCellWithReuseIdentifier:forIndexPath:"_sel,
                                       "Cell"_ns, path);
    id list = objc_msgSend<id()>(self, "elements"_sel);
    NSInteger row = objc_msgSend<NSInteger()>(path, "row"_sel);
    if (row >= 0 && static_cast<NSUInteger>(row) < objc_msgSend<NSUInteger()>(list, "count"_sel))
        objc_msgSend<void(id)>(cell, "setMosaicData:"_sel,
                               objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, static_cast<NSUInteger>(row)));
    objc_msgSend<void(id)>(cell, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "whiteColor"_sel));
    return cell;
}

}  // namespace

void registerCustomDataSource() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<CustomDataSource>("CustomDataSource", NSObject::cls())
            .method<init>("init", "@@:")
            .method<elements>("elements", "@@:")
            .method<searchString>("searchString", "@@:")
            .method<setSearchString>("setSearchString:", "v@:@")
            .method<loadFromDisk>("loadFromDisk", "v@:")
            .method<numberOfSections>("numberOfSectionsInCollectionView:", "q@:@")
            .method<numberOfItems>("collectionView:numberOfItemsInSection:", "q@:@q")
            .method<cellForItem>("collectionView:cellForItemAtIndexPath:", "@@:@@")
            .OBJC_IVAR(CustomDataSource, elements)
            .OBJC_IVAR(CustomDataSource, searchString);
    });
}
