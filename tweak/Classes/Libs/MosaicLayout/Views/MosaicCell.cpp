#include "MosaicCell.h"

#include "../Entities/MosaicData.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>
#include <platform/Random.h>
#include <dispatch/dispatch.h>

#include <mutex>
#include <string>

namespace {

constexpr double kFadeDuration = 0.3;

void cancelRequest(MosaicCell* self) {
    Strong<NSObject> request = std::move(self->imageRequest);
    self->imageRequest = nullptr;
    objc_msgSend<void()>(objc::as_id(request.get()), "cancel"_sel);
}

id initWithFrame(MosaicCell* self, SEL, CGRect frame) {
    self = static_cast<MosaicCell*>(objc_msgSendSuper<id(CGRect)>(self, MosaicCell::cls(), "initWithFrame:"_sel, frame));
    if (self != nullptr) objc_msgSend<void()>(self, "setup"_sel);
    return self;
}

id initWithCoder(MosaicCell* self, SEL, id coder) {
    self = static_cast<MosaicCell*>(objc_msgSendSuper<id(id)>(self, MosaicCell::cls(), "initWithCoder:"_sel, coder));
    if (self != nullptr) objc_msgSend<void()>(self, "setup"_sel);
    return self;
}

id pin(id item, NSInteger attribute, id to) {
    return objc_msgSend<id(id, NSInteger, NSInteger, id, NSInteger, double, double)>(
        NSLayoutConstraint::cls(), "constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:"_sel,
        item, attribute, 0, to, attribute, 1.0, 0.0);
}

void setup(MosaicCell* self, SEL) {
    objc_msgSend<void(id)>(self, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "whiteColor"_sel));

    id imageView = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIImageView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                            CGRectZero);
    self->imageView = Strong<UIImageView>::adopt(static_cast<UIImageView*>(imageView));
    objc_msgSend<void(BOOL)>(imageView, "setTranslatesAutoresizingMaskIntoConstraints:"_sel, NO);
    objc_msgSend<void(NSInteger)>(imageView, "setContentMode:"_sel, 2);  // aspect fill
    objc_msgSend<void(BOOL)>(imageView, "setClipsToBounds:"_sel, YES);
    objc_msgSend<void(id)>(self, "addSubview:"_sel, imageView);
    for (NSInteger edge : {NSLayoutAttributeLeft, NSLayoutAttributeRight, NSLayoutAttributeTop, NSLayoutAttributeBottom})
        objc_msgSend<void(id)>(self, "addConstraint:"_sel, pin(imageView, edge, self));

    id layer = objc_msgSend<id()>(self, "layer"_sel);
    objc_msgSend<void(double)>(layer, "setBorderWidth:"_sel, 1.0);
    objc_msgSend<void(CGColor)>(layer, "setBorderColor:"_sel,
                                objc_msgSend<CGColor()>(objc_msgSend<id()>(UIColor::cls(), "whiteColor"_sel), "CGColor"_sel));
    objc_msgSend<void(BOOL)>(self, "setClipsToBounds:"_sel, YES);

    id label = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UILabel::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
    self->titleLabel = Strong<UILabel>::adopt(static_cast<UILabel*>(label));
    objc_msgSend<void(NSInteger)>(label, "setTextAlignment:"_sel, 2);  // right
    objc_msgSend<void(id)>(label, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel));
    objc_msgSend<void(id)>(label, "setFont:"_sel,
                           objc_msgSend<id(id, double)>(UIFont::cls(), "fontWithName:size:"_sel, "Helvetica-Bold"_ns, 15.0));
    objc_msgSend<void(id)>(label, "setTextColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "whiteColor"_sel));
    objc_msgSend<void(id)>(label, "setShadowColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "blackColor"_sel));
    objc_msgSend<void(CGSize)>(label, "setShadowOffset:"_sel, CGSizeMake(0, 1));
    objc_msgSend<void(NSInteger)>(label, "setNumberOfLines:"_sel, 1);
    objc_msgSend<void(id)>(self, "addSubview:"_sel, label);
}

void layoutSubviews(MosaicCell* self, SEL) {
    objc_msgSendSuper<void()>(self, MosaicCell::cls(), "layoutSubviews"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    objc_msgSend<void(CGRect)>(self->titleLabel.get(), "setFrame:"_sel,
                               CGRectMake(10, bounds.size.height - 30, bounds.size.width - 20, 20));
    id layer = objc_msgSend<id()>(self->imageView.get(), "layer"_sel);
    objc_msgSend<void(CGSize)>(layer, "setShadowOffset:"_sel, CGSizeMake(8, 8));
    objc_msgSend<void(CGColor)>(layer, "setShadowColor:"_sel,
                                objc_msgSend<CGColor()>(objc_msgSend<id()>(UIColor::cls(), "redColor"_sel), "CGColor"_sel));
    objc_msgSend<void(float)>(layer, "setShadowOpacity:"_sel, 1.0f);
}

void prepareForReuse(MosaicCell* self, SEL) {
    objc_msgSendSuper<void()>(self, MosaicCell::cls(), "prepareForReuse"_sel);
    cancelRequest(self);
    objc_msgSend<void(id)>(self, "setImage:"_sel, nil);
}

bool isWebAddress(const std::string& s) { return s.starts_with("http://") || s.starts_with("https://"); }

void setMosaicData(MosaicCell* self, SEL, id obj) {
    auto* record = static_cast<MosaicData*>(obj);
    cancelRequest(self);
    self->mosaicData = record;
    std::string address = to_string(static_cast<NSString*>(objc_msgSend<id()>(record, "imageFilename"_sel)));
    if (isWebAddress(address)) {
        id url = objc_msgSend<id(id)>(objc_getClass("NSURL"), "URLWithString:"_sel, NSString::make(address));
        id request = objc_msgSend<id(id)>(objc_getClass("NSURLRequest"), "requestWithURL:"_sel, url);
        Weak<MosaicCell> cell(self);
        Strong<MosaicData> asked(record);
        id operation = request == nil ? nil : objc_msgSend<id(id, id)>(
            objc_getClass("AFImageRequestOperation"), "imageRequestOperationWithRequest:success:"_sel, request,
            objc_block<void(UIImage*)>([cell, asked](UIImage* image) {
                MosaicCell* c = cell.get();
                // The same record, not merely the same caption: many pictures
                // share a pixel size.
                if (c == nullptr || c->mosaicData.get() != asked.get()) return;
                c->imageRequest = nullptr;
                objc_msgSend<void(id)>(c, "setImage:"_sel, image);
            }));
        self->imageRequest = static_cast<NSObject*>(operation);
        // Decoded only as large as the tile shows it.
        CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
        objc_msgSend<void(CGSize)>(operation, "_setFittingSize:"_sel, bounds.size);
        objc_msgSend<void()>(operation, "start"_sel);
    } else if (objc_msgSend<id()>(self, "image"_sel) != nil) {
        // Anything else is no picture: never a file looked up by that name.
        objc_msgSend<void(id)>(self, "setImage:"_sel, nil);
    }
    objc_msgSend<void(id)>(self->titleLabel.get(), "setText:"_sel, objc_msgSend<id()>(record, "title"_sel));
}

id mosaicData(MosaicCell* self, SEL) { return objc::as_id(self->mosaicData.get()); }

id image(MosaicCell* self, SEL) { return objc_msgSend<id()>(self->imageView.get(), "image"_sel); }

void fadeIn(UIImageView* view) {
    Strong<UIImageView> kept(view);
    objc_msgSend<void(double, id)>(UIView::cls(), "animateWithDuration:animations:"_sel, kFadeDuration,
                                   objc_block<void()>([kept] { objc_msgSend<void(double)>(kept.get(), "setAlpha:"_sel, 1.0); }));
}

void setImage(MosaicCell* self, SEL, id picture) {
    UIImageView* view = self->imageView.get();
    objc_msgSend<void(id)>(view, "setImage:"_sel, picture);
    MosaicData* record = self->mosaicData.get();
    if (record == nullptr || !record->firstTimeShown) return;
    record->firstTimeShown = NO;
    objc_msgSend<void(double)>(view, "setAlpha:"_sel, 0.0);
    double delay = static_cast<double>(arc4random() % 700) / 1000.0;
    Strong<UIImageView> kept(view);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay * NSEC_PER_SEC)), dispatch_get_main_queue(),
                   [kept] { fadeIn(kept.get()); });
}

void setHighlighted(MosaicCell* self, SEL, BOOL highlighted) {
    if (objc_msgSend<BOOL()>(self, "isHighlighted"_sel) != highlighted) {
        objc_msgSend<void(double)>(self->imageView.get(), "setAlpha:"_sel, 0.0);
        fadeIn(self->imageView.get());
    }
    objc_msgSendSuper<void(BOOL)>(self, MosaicCell::cls(), "setHighlighted:"_sel, highlighted);
}

}  // namespace

MosaicCell::~MosaicCell() { objc_msgSend<void()>(objc::as_id(imageRequest.get()), "cancel"_sel); }

void registerMosaicCell() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<MosaicCell>("MosaicCell", UICollectionViewCell::cls())
            .method<initWithFrame>("initWithFrame:", "@@:{CGRect}")
            .method<initWithCoder>("initWithCoder:", "@@:@")
            .method<setup>("setup", "v@:")
            .method<layoutSubviews>("layoutSubviews", "v@:")
            .method<prepareForReuse>("prepareForReuse", "v@:")
            .method<setMosaicData>("setMosaicData:", "v@:@")
            .method<mosaicData>("mosaicData", "@@:")
            .method<image>("image", "@@:")
            .method<setImage>("setImage:", "v@:@")
            .method<setHighlighted>("setHighlighted:", "v@:c")
            .OBJC_IVAR(MosaicCell, imageView)
            .OBJC_IVAR(MosaicCell, mosaicData)
            .OBJC_IVAR(MosaicCell, titleLabel);
    });
}
