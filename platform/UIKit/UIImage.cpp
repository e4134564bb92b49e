// UIImage: pictures decoded by ImageIO's decoder into an ARGB32 cairo
// surface.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSData.h>
#include <Foundation/NSString.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>
#include <platform/DeviceRoot.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

using namespace platform::support;

UIImage::~UIImage() {
    if (_surface != nullptr) cairo_surface_destroy(_surface);
}

namespace {

// The surface as ARGB32: other formats (RGB24, A8…) are painted into a new
// one. Takes over `surface`.
cairo_surface_t* asARGB32(cairo_surface_t* surface) {
    if (cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32) return surface;
    int w = cairo_image_surface_get_width(surface);
    int h = cairo_image_surface_get_height(surface);
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(out);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return out;
}

// --- Files -----------------------------------------------------------------

// 2 for "name@2x.png", 3 for "name@3x.jpg", else 1.
double scaleOfFileName(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    size_t dot = name.find_last_of('.');
    std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    if (stem.size() >= 3 && stem.compare(stem.size() - 3, 3, "@2x") == 0) return 2;
    if (stem.size() >= 3 && stem.compare(stem.size() - 3, 3, "@3x") == 0) return 3;
    return 1;
}

// The variant of a file name that a screen of this scale reads first, as the
// platform does: "name@2x.png" for "name.png" on a 2x screen, "@3x" on a 3x
// one; none at scale 1 or for a name that already carries a scale.
std::string scaledVariant(const std::string& path, double screenScale) {
    long scale = std::lround(screenScale);
    if (scale < 2 || scale > 3 || scaleOfFileName(path) != 1) return "";
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    return path.substr(0, dot) + "@" + std::to_string(scale) + "x" + path.substr(dot);
}

namespace image {

// Takes over `surface`; releases self and answers nil without one.
id adopt(UIImage* self, cairo_surface_t* surface, double scale) {
    if (surface == nullptr) {
        objc_release(self);
        return nil;
    }
    if (self->_surface != nullptr) cairo_surface_destroy(self->_surface);
    self->_surface = surface;
    self->_scale = scale;
    return self;
}

// The picture of a file, decoded to cover `fit` pixels a side when that is
// not 0.
id initFromFile(UIImage* self, id path, unsigned fit) {
    self = objectAs<UIImage>(objc_msgSendSuper<id()>(self, UIImage::cls(), "init"_sel));
    if (self == nullptr) return nil;
    auto* name = objectAs<NSString>(path);
    if (name == nullptr) return adopt(self, nullptr, 1);
    // A screen of scale 2 or 3 reads the file's @2x / @3x variant first.
    double screenScale = objc_msgSend<double()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "scale"_sel);
    std::string file = scaledVariant(name->str(), screenScale);
    std::string bytes;
    if (file.empty() || !platform::readDeviceFile(platform::devicePath(file), bytes)) {
        file = name->str();
        if (!platform::readDeviceFile(platform::devicePath(file), bytes)) return adopt(self, nullptr, 1);
    }
    platform::ImageFit shown;
    shown.coverWidth = shown.coverHeight = fit;
    id image = adopt(self, platform::decodeImage(bytes.data(), bytes.size(), shown), scaleOfFileName(file));
    if (image != nullptr) static_cast<UIImage*>(image)->_fileName = file;
    return image;
}

id initWithContentsOfFile(UIImage* self, SEL, id path) { return initFromFile(self, path, 0); }

// For a picture shown at `size` points: decoded no larger than it takes to
// cover that size on the main screen.
id imageWithContentsOfFileFittingSize(objc_class* cls, SEL, id path, CGSize size) {
    double scale = objc_msgSend<double()>(objc_msgSend<id()>(objc_getClass("UIScreen"), "mainScreen"_sel), "scale"_sel);
    double side = std::max(size.width, size.height) * (scale > 0 ? scale : 1);
    unsigned fit = side > 0 && side < 65536 ? static_cast<unsigned>(std::ceil(side)) : 0;
    id alloced = objc_msgSend<id()>(cls, "alloc"_sel);
    return objc_autorelease(initFromFile(objectAs<UIImage>(alloced), path, fit));
}

id initWithData(UIImage* self, SEL, id data) {
    self = objectAs<UIImage>(objc_msgSendSuper<id()>(self, UIImage::cls(), "init"_sel));
    if (self == nullptr) return nil;
    auto* bytes = objectAs<NSData>(data);
    if (bytes == nullptr) return adopt(self, nullptr, 1);
    return adopt(self, platform::decodeImage(bytes->bytes(), bytes->length()), 1);
}

id imageWithContentsOfFile(objc_class* cls, SEL, id path) {
    id alloced = objc_msgSend<id()>(cls, "alloc"_sel);
    return objc_autorelease(objc_msgSend<id(id)>(alloced, "initWithContentsOfFile:"_sel, path));
}

id imageWithData(objc_class* cls, SEL, id data) {
    id alloced = objc_msgSend<id()>(cls, "alloc"_sel);
    return objc_autorelease(objc_msgSend<id(id)>(alloced, "initWithData:"_sel, data));
}

CGSize size(UIImage* self, SEL) {
    if (self->_surface == nullptr) return CGSizeZero;
    return CGSizeMake(self->pixelWidth() / self->_scale, self->pixelHeight() / self->_scale);
}

double scale(UIImage* self, SEL) { return self->_scale; }

CGImage* cgImage(UIImage* self, SEL) { return self->cgImage(); }

// Upright, scaled into the rect of the current context.
void drawInRect(UIImage* self, SEL, CGRect rect) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    CGImageRef pixels = objc_msgSend<CGImage*()>(self, "CGImage"_sel);
    if (c == nullptr || pixels == nullptr) return;
    rect = CGRectStandardize(rect);
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, 0, rect.origin.y + rect.size.height);
    CGContextScaleCTM(c, 1, -1);
    CGContextDrawImage(c, CGRectMake(rect.origin.x, 0, rect.size.width, rect.size.height), pixels);
    CGContextRestoreGState(c);
}

// The folder of the app's bundle, as a device path.
constexpr const char kBundleFolder[] = "/Applications/Music.app/";

id imageNamed(objc_class* cls, SEL, id name) {
    auto* str = objectAs<NSString>(name);
    if (str == nullptr || str->str().empty()) return nil;
    // A bare name stays in the bundle folder: no folders, no way up, no
    // other separator. A full device path may have folders but no way up.
    const std::string& given = str->str();
    if (given.find("..") != std::string::npos || given.find('\\') != std::string::npos) return nil;
    if (given[0] != '/' && given.find('/') != std::string::npos) return nil;
    std::string base = str->str()[0] == '/' ? str->str() : kBundleFolder + str->str();
    for (const char* suffix : {"", "@2x.png", ".png", "@3x.png", ".jpg"}) {
        std::string path = base + suffix;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(platform::devicePath(path), ec)) continue;
        if (id image = objc_msgSend<id(id)>(cls, "imageWithContentsOfFile:"_sel, NSString::make(path))) return image;
    }
    return nil;
}

NSString* description(UIImage* self, SEL) {
    CGSize s = size(self, nullptr);
    return NSStringWithFormat("<UIImage: %p> size {%g, %g} scale %g", self, s.width, s.height, self->_scale);
}

}  // namespace image

}  // namespace

UIImage* UIImage::withSurface(_cairo_surface* surface, double scale) {
    if (surface == nullptr) return nullptr;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    auto* img = objectAs<UIImage>(newObject(cls()));
    return autorelease(static_cast<UIImage*>(image::adopt(img, asARGB32(surface), scale > 0 ? scale : 1)));
}

CGImageRef UIImage::cgImage() {
    if (_surface == nullptr) return nullptr;
    _cgImage.surface = _surface;
    return &_cgImage;
}

int UIImage::pixelWidth() const { return _surface ? cairo_image_surface_get_width(_surface) : 0; }
int UIImage::pixelHeight() const { return _surface ? cairo_image_surface_get_height(_surface) : 0; }

uint32_t UIImage::pixel(int x, int y) const {
    if (_surface == nullptr || x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return 0;
    cairo_surface_flush(_surface);
    const unsigned char* data = cairo_image_surface_get_data(_surface);
    uint32_t value;
    std::memcpy(&value, data + static_cast<size_t>(y) * cairo_image_surface_get_stride(_surface) + 4 * x, 4);
    return value;
}

void platform::uikit::registerImages() {
    objc::ClassDef<UIImage>("UIImage", NSObject::cls())
        .method<image::initWithContentsOfFile>("initWithContentsOfFile:")
        .method<image::initWithData>("initWithData:")
        .classMethod<image::imageWithContentsOfFile>("imageWithContentsOfFile:")
        .classMethod<image::imageWithData>("imageWithData:")
        .classMethod<image::imageWithContentsOfFileFittingSize>("_imageWithContentsOfFile:fittingSize:")
        .method<image::size>("size")
        .method<image::scale>("scale")
        .method<image::cgImage>("CGImage")
        .method<image::drawInRect>("drawInRect:")
        .classMethod<image::imageNamed>("imageNamed:")
        .method<image::description>("description")
        .OBJC_IVAR(UIImage, _scale);
}
