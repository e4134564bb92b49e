// FMDatabase over SQLiteCpp: one connection per object, opened read-write
// without create, with a busy timeout; updates whose values are all bound.
#include "FMDatabase.h"

#include <Foundation/Foundation.h>
#include <SQLiteCpp/SQLiteCpp.h>
#include <platform/DeviceRoot.h>
#include <sqlite3.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using platform::fmt::Arg;

// What a placeholder takes.
enum class Want { Object, Integer, Real, Text, Character };

struct Placeholder {
    char conversion;
    Want want;
};

bool wantOf(char conversion, Want* want) {
    auto among = [conversion](const char* set) { return conversion != '\0' && std::strchr(set, conversion); };
    if (conversion == '@') {
        *want = Want::Object;
    } else if (among("dDiuUxXo")) {
        *want = Want::Integer;
    } else if (among("fFeEgGaA")) {
        *want = Want::Real;
    } else if (conversion == 's') {
        *want = Want::Text;
    } else if (conversion == 'c') {
        *want = Want::Character;
    } else {
        return false;
    }
    return true;
}

// Turns the format into SQL with one "?" per placeholder; false with the
// reason in *error when the format cannot be read.
bool rewriteFormat(std::string_view format, std::string* sql, std::vector<Placeholder>* placeholders,
                   std::string* error) {
    const size_t n = format.size();
    auto skipDigits = [&](size_t& i) {
        while (i < n && format[i] >= '0' && format[i] <= '9') ++i;
    };
    for (size_t i = 0; i < n; ++i) {
        if (format[i] != '%') {
            sql->push_back(format[i]);
            continue;
        }
        size_t start = i++;
        if (i < n && format[i] == '%') {
            sql->push_back('%');
            continue;
        }
        while (i < n && std::strchr("-+ #0'", format[i]) != nullptr) ++i;
        bool starred = i < n && format[i] == '*';
        skipDigits(i);
        if (i < n && format[i] == '.') {
            ++i;
            starred = starred || (i < n && format[i] == '*');
            skipDigits(i);
        }
        if (starred) {
            *error = "a '*' width or precision has no value to bind";
            return false;
        }
        while (i < n && std::strchr("hlqztjL", format[i]) != nullptr) ++i;
        Want want;
        if (i >= n || !wantOf(format[i], &want)) {
            *error =
                "unknown placeholder \"" + std::string(format.substr(start, i < n ? i - start + 1 : i - start)) + "\"";
            return false;
        }
        placeholders->push_back({format[i], want});
        sql->push_back('?');
    }
    return true;
}

const char* kindName(Arg::Kind kind) {
    switch (kind) {
        case Arg::Kind::Object: return "an object";
        case Arg::Kind::Signed:
        case Arg::Kind::Unsigned: return "an integer";
        case Arg::Kind::Double: return "a floating value";
        case Arg::Kind::Text: return "a C string";
        case Arg::Kind::Pointer: return "a pointer";
    }
    return "a value";
}

void bindObject(SQLite::Statement& statement, int index, id object) {
    if (object == nil) {
        statement.bind(index);
    } else if (objc_isKindOfClass(object, NSString::cls())) {
        statement.bind(index, static_cast<NSString*>(object)->str());
    } else if (objc_isKindOfClass(object, NSNumber::cls())) {
        auto* number = static_cast<NSNumber*>(object);
        switch (number->kind()) {
            case NSNumber::Kind::Bool: statement.bind(index, static_cast<int64_t>(number->boolValue() ? 1 : 0)); break;
            case NSNumber::Kind::Signed: statement.bind(index, static_cast<int64_t>(number->longLongValue())); break;
            // A persistent id with the top bit set is stored as the signed
            // number of the same bits.
            case NSNumber::Kind::Unsigned:
                statement.bind(index, static_cast<int64_t>(number->unsignedLongLongValue()));
                break;
            case NSNumber::Kind::Float:
            case NSNumber::Kind::Double: statement.bind(index, number->doubleValue()); break;
        }
    } else if (objc_isKindOfClass(object, NSData::cls())) {
        auto* data = static_cast<NSData*>(object);
        if (data->length() > static_cast<NSUInteger>(INT_MAX))
            throw SQLite::Exception("data too large to bind", SQLITE_TOOBIG);
        statement.bind(index, data->bytes(), static_cast<int>(data->length()));
    } else {
        statement.bind(index, to_string(objc_msgSend<NSString*()>(object, "description"_sel)));
    }
}

// Binds one argument; false with the reason when it does not fit its
// placeholder.
bool bindArgument(SQLite::Statement& statement, int index, const Placeholder& placeholder, const Arg& arg,
                  std::string* error) {
    const bool integer = arg.kind == Arg::Kind::Signed || arg.kind == Arg::Kind::Unsigned;
    bool fits = false;
    switch (placeholder.want) {
        case Want::Object:
            fits = arg.kind == Arg::Kind::Object;
            if (fits) bindObject(statement, index, arg.object);
            break;
        case Want::Integer:
            fits = integer;
            if (fits)
                statement.bind(
                    index, arg.kind == Arg::Kind::Signed ? static_cast<int64_t>(arg.i) : static_cast<int64_t>(arg.u));
            break;
        case Want::Real:
            fits = arg.kind == Arg::Kind::Double;
            if (fits) statement.bind(index, arg.d);
            break;
        case Want::Text:
            fits = arg.kind == Arg::Kind::Text;
            if (!fits) break;
            if (arg.text == nullptr) {
                statement.bind(index);
            } else if (arg.textLength == std::string_view::npos) {
                statement.bind(index, arg.text);
            } else {
                statement.bind(index, std::string(arg.text, arg.textLength));
            }
            break;
        case Want::Character:
            fits = integer;
            if (fits) statement.bind(index, platform::fmt::format("%c", &arg, 1));
            break;
    }
    if (!fits)
        *error = "argument " + std::to_string(index) + " is " + kindName(arg.kind) + ", which %" +
                 placeholder.conversion + " does not take";
    return fits;
}

int busyTimeoutMilliseconds(double seconds) {
    if (!(seconds > 0)) return 0;
    double ms = std::ceil(seconds * 1000.0);
    return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

}  // namespace

FMDatabase::FMDatabase() = default;
FMDatabase::~FMDatabase() = default;

void FMDatabase::setError(int code, std::string message) {
    lastErrorCode_ = code;
    lastErrorMessage_ = std::move(message);
}

void FMDatabase::clearError() { setError(SQLITE_OK, "not an error"); }

// SQLite opens its files by name; the name is the device path resolved
// beneath the root, which SQLite has no way to open by descriptor.
BOOL FMDatabase::open() {
    if (db_) return YES;
    std::string hostPath = databasePath_ ? platform::devicePath(databasePath_->str()) : std::string();
    if (hostPath.empty()) {
        setError(SQLITE_CANTOPEN, "unable to open database file");
        return NO;
    }
    try {
        db_ = std::make_unique<SQLite::Database>(hostPath, SQLite::OPEN_READWRITE,
                                                 busyTimeoutMilliseconds(maxBusyRetryTimeInterval_));
    } catch (const SQLite::Exception& e) {
        setError(e.getErrorCode(), e.what());
        return NO;
    }
    clearError();
    return YES;
}

BOOL FMDatabase::close() {
    db_.reset();
    return YES;
}

void FMDatabase::setMaxBusyRetryTimeInterval(double seconds) {
    maxBusyRetryTimeInterval_ = seconds;
    if (db_) db_->setBusyTimeout(busyTimeoutMilliseconds(seconds));
}

BOOL FMDatabase::executeUpdate(std::string_view format, bool nullFormat, const Arg* args, size_t count) {
    changes_ = 0;
    if (nullFormat) {
        setError(SQLITE_MISUSE, "no statement format given");
        return NO;
    }
    if (!db_) {
        setError(SQLITE_MISUSE, "the database is not open");
        return NO;
    }
    std::string sql;
    std::vector<Placeholder> placeholders;
    std::string error;
    if (!rewriteFormat(format, &sql, &placeholders, &error)) {
        setError(SQLITE_MISUSE, error);
        return NO;
    }
    if (placeholders.size() != count) {
        setError(SQLITE_MISUSE, "the format has " + std::to_string(placeholders.size()) + " placeholders for " +
                                    std::to_string(count) + " arguments");
        return NO;
    }
    try {
        SQLite::Statement statement(*db_, sql);
        if (static_cast<size_t>(statement.getBindParameterCount()) != count) {
            setError(SQLITE_MISUSE, "the statement has " + std::to_string(statement.getBindParameterCount()) +
                                        " parameters for " + std::to_string(count) + " placeholders");
            return NO;
        }
        for (size_t i = 0; i < count; ++i) {
            if (!bindArgument(statement, static_cast<int>(i + 1), placeholders[i], args[i], &error)) {
                setError(SQLITE_MISUSE, error);
                return NO;
            }
        }
        const int rc = statement.tryExecuteStep();
        if (rc == SQLITE_DONE) {
            changes_ = db_->getChanges();
            clearError();
            return YES;
        }
        if (rc == SQLITE_ROW) {
            setError(SQLITE_MISUSE, "an update was given a statement that returns rows");
        } else {
            setError(rc, db_->getErrorMsg());
        }
    } catch (const SQLite::Exception& e) {
        setError(e.getErrorCode(), e.what());
    } catch (NSException* e) {  // an object whose description raises
        setError(SQLITE_MISUSE, e->reasonString());
    } catch (const std::exception& e) {
        setError(SQLITE_MISUSE, e.what());
    }
    return NO;
}

// ---------------------------------------------------------------------------
// Runtime methods.

namespace {
namespace fmdatabase {

FMDatabase* databaseWithPath(id path) {
    id db = objc_msgSend<id()>(FMDatabase::cls(), "alloc"_sel);
    db = objc_msgSend<id(id)>(db, "initWithPath:"_sel, path);
    return static_cast<FMDatabase*>(objc_autorelease(db));
}

// A path that is no string leaves the object without a path: it never opens.
id initWithPath(FMDatabase* self, SEL, id path) {
    self = static_cast<FMDatabase*>(objc_msgSendSuper<id()>(self, FMDatabase::cls(), "init"_sel));
    if (self == nil) return nil;
    if (path != nil && objc_isKindOfClass(path, NSString::cls()))
        self->databasePath_ = Strong<NSString>::adopt(static_cast<NSString*>(objc_msgSend<id()>(path, "copy"_sel)));
    return self;
}

NSString* databasePath(FMDatabase* self, SEL) { return self->databasePath_; }
BOOL open(FMDatabase* self, SEL) { return self->open(); }
BOOL close(FMDatabase* self, SEL) { return self->close(); }
NSString* lastErrorMessage(FMDatabase* self, SEL) { return NSString::make(self->lastErrorText()); }
int lastErrorCode(FMDatabase* self, SEL) { return self->lastErrorCode(); }
int changes(FMDatabase* self, SEL) { return self->changes(); }
double maxBusyRetryTimeInterval(FMDatabase* self, SEL) { return self->maxBusyRetryTimeInterval_; }
void setMaxBusyRetryTimeInterval(FMDatabase* self, SEL, double seconds) { self->setMaxBusyRetryTimeInterval(seconds); }

void dealloc(FMDatabase* self, SEL) {
    self->close();
    objc_msgSendSuper<void()>(self, FMDatabase::cls(), "dealloc"_sel);
}

}  // namespace fmdatabase
}  // namespace

void registerFMDatabase() {
    objc::ClassDef<FMDatabase>("FMDatabase", NSObject::cls())
        .classMethod<fmdatabase::databaseWithPath>("databaseWithPath:")
        .method<fmdatabase::initWithPath>("initWithPath:")
        .method<fmdatabase::databasePath>("databasePath")
        .method<fmdatabase::open>("open")
        .method<fmdatabase::close>("close")
        .method<fmdatabase::lastErrorMessage>("lastErrorMessage")
        .method<fmdatabase::lastErrorCode>("lastErrorCode")
        .method<fmdatabase::changes>("changes")
        .method<fmdatabase::maxBusyRetryTimeInterval>("maxBusyRetryTimeInterval")
        .method<fmdatabase::setMaxBusyRetryTimeInterval>("setMaxBusyRetryTimeInterval:")
        .method<fmdatabase::dealloc>("dealloc");
}
