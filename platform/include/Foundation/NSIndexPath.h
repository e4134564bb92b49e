// NSIndexPath: a (section, row) pair for table and collection views.
#pragma once

#include <Foundation/NSObjCRuntime.h>

struct NSIndexPath : NSObject {
    OBJC_CLASS(NSIndexPath)

    static NSIndexPath* make(NSInteger row, NSInteger section);  // autoreleased

    NSInteger row() const { return row_; }
    NSInteger item() const { return row_; }
    NSInteger section() const { return section_; }
    NSComparisonResult compare(const NSIndexPath* other) const;

    void set(NSInteger row, NSInteger section) {
        row_ = row;
        section_ = section;
    }

private:
    NSInteger section_ = 0;
    NSInteger row_ = 0;
};
