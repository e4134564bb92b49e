// SLComposeViewController and the availability of the social services.
#include "../UIKit/ObjectSupport.h"
#include "../UIKit/Private.h"

#include <Foundation/NSString.h>
#include <Social/SLComposeViewController.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIView.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <set>

using namespace platform::support;

namespace {

std::set<std::string>& available() {
    static auto* services = new std::set<std::string>();
    return *services;
}

BOOL isAvailable(Class, SEL, id type) { return platform::socialServiceAvailable(to_string(static_cast<NSString*>(type))); }

id composer(Class cls, SEL, id type) {
    if (!platform::socialServiceAvailable(to_string(static_cast<NSString*>(type)))) return nil;
    auto* c = static_cast<SLComposeViewController*>(newObject(cls));
    c->_serviceType = static_cast<NSString*>(type);
    return autorelease(c);
}

id serviceType(SLComposeViewController* self, SEL) { return self->_serviceType.get(); }
BOOL setInitialText(SLComposeViewController* self, SEL, id text) {
    self->_initialText = requireObject<NSString>(text, "-[SLComposeViewController setInitialText:]");
    return YES;
}
id initialText(SLComposeViewController* self, SEL) { return self->_initialText.get(); }
BOOL addImage(SLComposeViewController* self, SEL, id image) {
    if (image == nil) return NO;
    self->_images.emplace_back(static_cast<NSObject*>(image));
    return YES;
}
id images(SLComposeViewController* self, SEL) { return arrayOf(self->_images); }
void setCompletionHandler(SLComposeViewController* self, SEL, id block) {
    self->_completionHandler = static_cast<NSObject*>(objc_msgSend<id()>(block, "copy"_sel));
    objc_release(block);
}
id completionHandler(SLComposeViewController* self, SEL) { return self->_completionHandler.get(); }

// --- The composer's picture --------------------------------------------------------
//
// A card in the upper part of the dimmed screen: a bar with "Cancel", the
// service's name and "Post"; under it the text, wrapped, and the first picture
// added, as a thumbnail on the right.

struct _SLComposeSheetView : UIView {
    OBJC_CLASS(_SLComposeSheetView)
    SLComposeViewController* _composer = nullptr;  // not retained
};

constexpr double kEdge = 10;
constexpr double kMaxWidth = 540;
constexpr double kCorner = 13;
constexpr double kBarHeight = 44;
constexpr double kPad = 12;
constexpr double kThumbnail = 72;
constexpr double kTextSize = 15;
constexpr CGColor kTint{0, 122.0 / 255, 1, 1};

std::string serviceName(const std::string& type) {
    if (type == to_string(SLServiceTypeTwitter)) return "Twitter";
    if (type == to_string(SLServiceTypeFacebook)) return "Facebook";
    return type;
}

void drawText(const std::vector<std::string>& lines, CGRect box, platform::text::Face face, CGColor colour,
              NSInteger alignment) {
    platform::text::drawLines(UIGraphicsGetCurrentContext(), face, lines, box, alignment, colour);
}

void drawComposer(_SLComposeSheetView* self, SEL, CGRect) {
    SLComposeViewController* composer = self->_composer;
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (composer == nullptr || context == nullptr) return;
    cairo_t* cr = context->cr;
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    cairo_rectangle(cr, 0, 0, bounds.size.width, bounds.size.height);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
    cairo_fill(cr);

    double width = std::min(kMaxWidth, bounds.size.width - 2 * kEdge);
    double x = std::round((bounds.size.width - width) / 2);
    auto* image = composer->_images.empty() ? nullptr : static_cast<UIImage*>(objc::as_id(composer->_images.front().get()));
    double textWidth = width - 2 * kPad - (image ? kThumbnail + kPad : 0);
    platform::text::Face body{false, kTextSize};
    std::string text = to_string(composer->_initialText.get());
    std::erase(text, '\r');
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::vector<std::string> lines = platform::text::wrap(body, text, textWidth, 0);
    double lineHeight = platform::text::metrics(body).lineHeight;
    double bodyHeight = std::max(lines.size() * lineHeight, image ? kThumbnail : 3 * lineHeight) + 2 * kPad;
    // Under the status bar, and never past the screen's bottom.
    double height = std::min(kBarHeight + bodyHeight, bounds.size.height - 2 * kEdge);
    double y = std::min(std::max(kEdge, std::round(bounds.size.height * 0.08)), bounds.size.height - kEdge - height);
    CGRect card = CGRectMake(x, y, width, height);
    platform::uikit::roundedRectPath(cr, card, kCorner);
    cairo_set_source_rgb(cr, 0.98, 0.98, 0.98);
    cairo_fill(cr);

    cairo_save(cr);
    platform::uikit::roundedRectPath(cr, card, kCorner);
    cairo_clip(cr);
    platform::text::Face barFace{false, 17}, titleFace{true, 17};
    double barText = y + (kBarHeight - platform::text::metrics(barFace).lineHeight) / 2;
    CGRect bar = CGRectMake(x + kPad, barText, width - 2 * kPad, kBarHeight);
    drawText({"Cancel"}, bar, barFace, kTint, NSTextAlignmentLeft);
    drawText({serviceName(to_string(composer->_serviceType.get()))}, bar, titleFace, CGColor{0, 0, 0, 1},
             NSTextAlignmentCenter);
    drawText({"Post"}, bar, titleFace, kTint, NSTextAlignmentRight);
    cairo_rectangle(cr, x, y + kBarHeight, width, 0.5);
    cairo_set_source_rgb(cr, 0.8, 0.8, 0.82);
    cairo_fill(cr);
    drawText(lines, CGRectMake(x + kPad, y + kBarHeight + kPad, textWidth, bodyHeight - 2 * kPad), body,
             CGColor{0, 0, 0, 1}, NSTextAlignmentLeft);
    if (image != nullptr) {
        CGRect thumb = CGRectMake(x + width - kPad - kThumbnail, y + kBarHeight + kPad, kThumbnail, kThumbnail);
        cairo_rectangle(cr, thumb.origin.x - 2, thumb.origin.y - 2, thumb.size.width + 4, thumb.size.height + 4);
        cairo_set_source_rgb(cr, 0.85, 0.85, 0.87);
        cairo_fill(cr);
        platform::uikit::drawImageInRect(cr, image, thumb, 2);
    }
    cairo_restore(cr);
}

void loadComposerView(SLComposeViewController* self, SEL) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    auto* view = static_cast<_SLComposeSheetView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(_SLComposeSheetView::cls(), "alloc"_sel), "initWithFrame:"_sel, screen));
    view->_composer = self;
    objc_msgSend<void(id)>(self, "setView:"_sel, view);
    objc_release(view);
}

}  // namespace

void platform::uikit::registerSocial() {
    objc::ClassDef<_SLComposeSheetView>("_SLComposeSheetView", UIView::cls()).method<drawComposer>("drawRect:");
    objc::ClassDef<SLComposeViewController>("SLComposeViewController", UIViewController::cls())
        .classMethod<isAvailable>("isAvailableForServiceType:")
        .classMethod<composer>("composeViewControllerForServiceType:")
        .method<serviceType>("serviceType")
        .method<setInitialText>("setInitialText:")
        .method<initialText>("initialText")
        .method<addImage>("addImage:")
        .method<images>("images")
        .method<setCompletionHandler>("setCompletionHandler:")
        .method<completionHandler>("completionHandler")
        .method<loadComposerView>("loadView");
}

void platform::setSocialServiceAvailable(const std::string& serviceType, bool on) {
    if (on) available().insert(serviceType);
    else available().erase(serviceType);
}

bool platform::socialServiceAvailable(const std::string& serviceType) { return available().count(serviceType) > 0; }
