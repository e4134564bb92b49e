#include <gtest/gtest.h>
#include <objc/NSObject.h>
#include <Foundation/NSException.h>

TEST(Smoke, AllocInitRelease) {
    id o = objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "alloc"_sel), "init"_sel);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(o, "retainCount"_sel), 1u);
    objc_msgSend<void()>(o, "release"_sel);
}
