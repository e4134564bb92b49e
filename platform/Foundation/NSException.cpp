#include <Foundation/NSException.h>

NSException* NSException::make(const std::string& name, const std::string& reason) {
    auto* e = static_cast<NSException*>(class_createInstance(NSException::cls()));
    e->name_ = name;
    e->reason_ = reason;
    return autorelease(e);
}

void NSException::raise(const std::string& name, const std::string& reason) { make(name, reason)->raise(); }

void NSException::raise() { throw this; }
