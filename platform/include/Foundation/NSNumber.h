// NSNumber: a boolean, a signed or unsigned 64-bit integer, or a floating
// value. It remembers which, so property lists write <true/>/<false/> for a
// boolean and the exact digits of an unsigned value with the top bit set.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <string>

struct NSString;

struct NSNumber : NSObject {
    OBJC_CLASS(NSNumber)

    // Unsigned holds only values above LLONG_MAX; smaller unsigned values are
    // kept as Signed, so equal numbers have one representation.
    enum class Kind : unsigned char { Bool, Signed, Unsigned, Float, Double };

    // C++ API (autoreleased).
    static NSNumber* withBool(bool v);
    static NSNumber* withLongLong(long long v);
    static NSNumber* withUnsignedLongLong(unsigned long long v);
    static NSNumber* withDouble(double v);

    Kind kind() const { return kind_; }
    bool isBool() const { return kind_ == Kind::Bool; }
    bool boolValue() const;
    long long longLongValue() const;
    unsigned long long unsignedLongLongValue() const;
    double doubleValue() const;
    NSComparisonResult compare(const NSNumber* other) const;
    NSUInteger hash() const;
    std::string descriptionString() const;

    // Set by the initialisers.
    void setBool(bool v);
    void setSigned(long long v);
    void setUnsigned(unsigned long long v);
    void setDouble(double v);
    void setFloat(float v);

private:
    Kind kind_ = Kind::Signed;
    union {
        long long i_ = 0;
        unsigned long long u_;
        double d_;
    };
};
