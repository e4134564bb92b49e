// The render pass: a view tree drawn into a cairo image surface or a PNG file.
//
// First the root gets layoutIfNeeded. Then each view, back to front: nothing
// for a hidden view (isHidden) or one of alpha 0; otherwise, in the view's
// coordinates (translated to its frame's origin) and, for an alpha below 1,
// as a group painted with that alpha:
//   1. its backgroundColor over the bounds, rounded by the layer's cornerRadius;
//      a UIVisualEffectView's blur tint (UIVisualEffectView.h) likewise;
//   2. with clipsToBounds (the layer's masksToBounds) everything that follows
//      is clipped to that rounded shape;
//   3. a UIImageView's image, scaled to the bounds;
//   4. drawRect: sent through the runtime with the bounds, while a context
//      clipped to the bounds is UIKit's current one (UIGraphics.h);
//   5. its subviews, in order (a UIScrollView's moved by -contentOffset);
//   6. the layer's border, inside the rounded shape.
// The values are read through the runtime (frame, bounds, isHidden, alpha,
// backgroundColor, contentOffset, layer, cornerRadius, masksToBounds, borderWidth,
// borderColor, image, subviews), so replaced methods take effect.
#pragma once

#include <CoreGraphics/CGGeometry.h>

#include <string>
#include <vector>

struct CGContext;
struct UIView;
struct _cairo_surface;

namespace platform {

// The largest width and height, in pixels, of a surface the render pass
// draws on: renderView and renderScreen crop a larger picture to it, the
// write functions refuse one.
inline constexpr int kMaxSurfacePixels = 16384;

// The view's bounds at `scale` pixels per point (0 or less: the main
// screen's scale), the view at the origin. A new ARGB32 surface the caller
// destroys; transparent where nothing was drawn. nullptr for a nil view.
_cairo_surface* renderView(UIView* view, double scale = 0);

// A screen of the main screen's size, white (the window) under each view
// drawn at its frame, in the order given (later ones above). A new surface the caller destroys.
_cairo_surface* renderScreen(const std::vector<UIView*>& views, double scale = 0);

// The same written as a PNG to a host path, which changes only once the
// whole picture is written (a failure leaves what was there). False when it
// cannot be written, *error then saying why: a picture larger than
// kMaxSurfacePixels a side, or the file system's reason ("Is a directory",
// "Permission denied", "No space left on device"...).
// The view and its subviews drawn into a context at its origin, as the
// render pass draws them (CALayer's renderInContext:).
void drawViewInContext(UIView* view, CGContext* context);

bool writePNG(UIView* view, const std::string& hostPath, double scale = 0, std::string* error = nullptr);
bool writeScreenPNG(const std::string& hostPath, const std::vector<UIView*>& views, double scale = 0,
                    std::string* error = nullptr);

}  // namespace platform
