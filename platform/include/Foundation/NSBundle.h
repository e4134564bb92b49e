// NSBundle: a folder of resources, and (from UIKit, UINib.cpp) the nibs in it.
//
//   +bundleWithPath:                 id(id)   a device path (resolved under the device
//                                    root); nil when no folder is there
//   +mainBundle                      id()     the app's folder: the device root
//   bundlePath                       id()     the path as given
//   pathForResource:ofType:          id(id, id)   the path of "NAME.TYPE" (or NAME when the
//                                    type is nil or "") in the bundle's folder, nil when
//                                    there is no such file
//   loadNibNamed:owner:options:      id(id, id, id)   the nib's top-level objects, in order
//                                    (an autoreleased NSArray); a bundle without that nib
//                                    raises NSInternalInconsistencyException
//
// A nib is the data file NAME.nib.json in the bundle's folder: a JSON object
// whose "objects" are the top-level objects. Each object is
//   {"class": "UILabel", "id": "name", "frame": [x, y, w, h],
//    "properties": {"text": "…", "fontSize": 13, …},
//    "subviews": [objects…], "constraints": [{"id": …, "attribute": "width",
//    "constant": 224}, …]}
// made with alloc and initWithCoder: (the panels' own coder logic runs), then
// given its properties through their setters, its subviews through
// addSubview: and its constraints (on itself) through addConstraint:. The
// nib's "outlets" [{"source": ID or "File's Owner", "name": OUTLET,
// "destination": ID or "File's Owner"}] are set through the source's setter
// (setOUTLET:; a source without one raises NSUnknownKeyException); its
// "actions" [{"source": ID, "target": ID or "File's Owner", "selector": SEL,
// "events": ["touchUpInside", …]}] go through addTarget:action:forControlEvents:,
// and its "gestures" [{"class": "UITapGestureRecognizer", "view": ID, "target":
// ID, "selector": SEL}] become recognisers on their views. Then every object
// made gets awakeFromNib when it answers it. A file that is not such a nib
// (bad JSON, an unknown class, property or id) raises
// NSInternalInconsistencyException naming the nib, and nothing is returned.
//
// Properties: frame, tag, hidden, alpha, userInteractionEnabled,
// clipsToBounds, showsSelectionIndicator, on (a switch; BOOL and numbers); backgroundColor,
// textColor, tintColor ([r, g, b, a] or a UIColor class method name such as
// "clear"); text, placeholder, accessibilityLabel, title (strings; a button's
// title is its normal state's); fontSize, boldFontSize (the system font);
// textAlignment, numberOfLines, borderStyle, autoresizingMask (integers);
// cornerRadius (its layer's); image (a picture file of the bundle; a
// button's normal state image).
#pragma once

#include <objc/NSObject.h>

#include <string>

struct NSBundle : NSObject {
    OBJC_CLASS(NSBundle)

    std::string _path;      // as given
    std::string _hostPath;  // resolved under the device root
};
