// The encoded bytes of pictures kept within picture memory so that a picture
// can be decoded again larger (by ImageIO's decoder); UIImage's
// _imageWithMaxPixelSide:.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIImage.h>

#include <cairo.h>

#include <algorithm>
#include <memory>

using namespace platform::support;

namespace {

// --- UIImage ----------------------------------------------------------------

id imageWithMaxPixelSide(UIImage* self, SEL, NSUInteger side) {
    if (side == 0) return nil;
    unsigned maxSide = static_cast<unsigned>(std::min<NSUInteger>(side, 1u << 20));
    if (self->_source != nullptr) {
        const std::string& bytes = self->_source->bytes();
        uint64_t width = 0, height = 0;
        if (platform::imagePixelSize(bytes.data(), bytes.size(), width, height) && width > 0 && height > 0) {
            unsigned w, h;
            platform::ImageFit fit;
            fit.maxSide = maxSide;
            platform::fittedPixelSize(width, height, fit, w, h);
            if (w == static_cast<unsigned>(self->pixelWidth()) && h == static_cast<unsigned>(self->pixelHeight()))
                return self;
            if (UIImage* made = UIImage::withSurface(platform::decodeImage(bytes.data(), bytes.size(), fit),
                                                     self->_scale)) {
                made->_source = self->_source;
                return made;
            }
        }
    }
    int width = self->pixelWidth(), height = self->pixelHeight();
    if (self->_surface == nullptr || (static_cast<unsigned>(std::max(width, height)) <= maxSide)) return self;
    unsigned w, h;
    platform::ImageFit fit;
    fit.maxSide = maxSide;
    platform::fittedPixelSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height), fit, w, h);
    UIImage* made = UIImage::withSurface(platform::scaledSurface(self->_surface, w, h), self->_scale);
    return made != nullptr ? made : self;
}

}  // namespace

namespace platform {

std::shared_ptr<const ImageSource> ImageSource::keep(std::string bytes) {
    bytes.shrink_to_fit();
    MemoryBudget::Hold share(&pictureMemory(), MemoryBudget::Hold::Kept);
    if (!share.grow(bytes.capacity())) return nullptr;
    return std::shared_ptr<const ImageSource>(new ImageSource(std::move(bytes), std::move(share)));
}

}  // namespace platform

void platform::uikit::registerScaledImages() {
    objc::define_method(UIImage::cls(), "_imageWithMaxPixelSide:"_sel, objc::make_imp<imageWithMaxPixelSide>(), "@@:Q");
}
