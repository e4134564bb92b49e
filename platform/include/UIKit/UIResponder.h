// UIResponder: the common base of views and view controllers.
#pragma once

#include <objc/NSObject.h>

struct UIResponder : NSObject {
    OBJC_CLASS(UIResponder)
};
