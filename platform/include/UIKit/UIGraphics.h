// UIKit's current drawing context: a per-thread stack of CGContextRefs.
//
// The render pass pushes a context around every drawRect: it sends; an image
// context (UIGraphicsBeginImageContextWithOptions) is pushed until
// UIGraphicsEndImageContext. Drawing calls that take no context
// (UIBezierPath fill/stroke, UIColor set, NSString drawing) use the top one
// and do nothing when there is none.
#pragma once

#include <CoreGraphics/CGContext.h>
#include <objc/objc.h>

struct UIImage;

// The context on top of this thread's stack, or NULL.
CGContextRef UIGraphicsGetCurrentContext();
// Pushes a context the caller keeps alive until it is popped.
void UIGraphicsPushContext(CGContextRef context);
void UIGraphicsPopContext();

// A new transparent (or, when opaque, white) bitmap of `size` points at
// `scale` pixels per point (0 or less: the main screen's scale), pushed as
// the current context; the transform maps points to pixels.
void UIGraphicsBeginImageContextWithOptions(CGSize size, BOOL opaque, double scale);
void UIGraphicsBeginImageContext(CGSize size);  // not opaque, scale 1
// An autoreleased UIImage of what the current image context holds, with the
// context's scale; nil when the current context is not an image context.
UIImage* UIGraphicsGetImageFromCurrentImageContext();
// Pops and frees the current image context (nothing when there is none).
void UIGraphicsEndImageContext();
