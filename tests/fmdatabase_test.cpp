// FMDatabase: opening without create, every placeholder bound (never
// pasted), mismatched arguments refused, errors reported, the busy retry.
#include "Libs/FMDB/FMDatabase.h"

#include <Foundation/Foundation.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "Classes.h"
#include "TestSupport.h"

namespace {

// An object whose description raises.
struct Unprintable : NSObject {
    OBJC_CLASS(Unprintable)
};
NSString* raiseInDescription(Unprintable*, SEL) { NSException::raise(NSGenericException, "no description"); }

class FMDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cantrel_registerClasses();
        sqlite3* setup = nullptr;
        ASSERT_EQ(sqlite3_open(root.host("t.db").c_str(), &setup), SQLITE_OK);
        sqlite3_exec(setup, "CREATE TABLE t (k INTEGER, v)", nullptr, nullptr, nullptr);
        sqlite3_close(setup);
        db = objc_msgSend<FMDatabase*(NSString*)>(FMDatabase::cls(), "databaseWithPath:"_sel, "t.db"_ns);
        ASSERT_TRUE(objc_msgSend<BOOL()>(db, "open"_sel));
    }

    // typeof(v) and v as text, for the rows of key k.
    std::string row(int k) {
        sqlite3* check = nullptr;
        sqlite3_open(root.host("t.db").c_str(), &check);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(check, "SELECT typeof(v) || ':' || quote(v) FROM t WHERE k = ?", -1, &st, nullptr);
        sqlite3_bind_int(st, 1, k);
        std::string out;
        while (sqlite3_step(st) == SQLITE_ROW)
            out += (out.empty() ? "" : ",") + std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close(check);
        return out;
    }
    std::string message() { return to_string(objc_msgSend<NSString*()>(db, "lastErrorMessage"_sel)); }
    int code() { return objc_msgSend<int()>(db, "lastErrorCode"_sel); }

    AutoreleasePool pool;
    test::TempRoot root;
    FMDatabase* db = nullptr;
};

TEST_F(FMDatabaseTest, EveryPlaceholderIsABoundValue) {
    const char quoted[] = "x'); DROP TABLE t;-- 100% \"q\"";
    unsigned char bytes[] = {0, 1, 0xff};
    EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %@)", NSString::make(quoted)));
    EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (2, %@)", NSString::make("日本 🎸")));
    EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (%d, %llu)", 3, 0x8000000000000001ULL));
    EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (%ld, %lld), (%hhd, %x)", 4L, -5LL, 4, 255));
    EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (5, %f), (5, %5.1g)", 2.5, 0.125));
    EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (6, %s), (6, %s), (6, %c)", "it's",
                                            static_cast<const char*>(nullptr), 'Z'));
    EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (7, %@), (7, %@), (7, %@)", nullptr,
                                            NSNumber::withBool(true), NSData::make(bytes, 3)));
    EXPECT_TRUE(
        db->executeUpdateWithFormat(NSString::make("INSERT INTO t VALUES (8, %@ || '%%')"), NSNumber::withDouble(0.5)));
    EXPECT_EQ(row(1), std::string("text:'x''); DROP TABLE t;-- 100% \"q\"'"));
    EXPECT_EQ(row(2), "text:'日本 🎸'");
    EXPECT_EQ(row(3), "integer:-9223372036854775807");  // the same 64 bits, signed
    EXPECT_EQ(row(4), "integer:-5,integer:255");
    EXPECT_EQ(row(5), "real:2.5,real:0.125");
    EXPECT_EQ(row(6), "text:'it''s',null:NULL,text:'Z'");
    EXPECT_EQ(row(7), "null:NULL,integer:1,blob:X'0001FF'");
    EXPECT_EQ(row(8), "text:'0.5%'");
    EXPECT_EQ(code(), SQLITE_OK);
    EXPECT_EQ(message(), "not an error");
    EXPECT_TRUE(db->executeUpdateWithFormat("UPDATE t SET v = %@ WHERE k = %d", "z"_ns, 4));
    EXPECT_EQ(objc_msgSend<int()>(db, "changes"_sel), 2);
}

TEST_F(FMDatabaseTest, MismatchedArgumentsRunNothing) {
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (%d, %@)", 1));
    EXPECT_EQ(message(), "the format has 2 placeholders for 1 arguments");
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, 2)", 1));
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (%d, 1)", "1"_ns));
    EXPECT_EQ(message(), "argument 1 is an object, which %d does not take");
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %@)", 1));
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %f)", 1));
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %s)", 1));
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %k)", 1));
    EXPECT_EQ(message(), "unknown placeholder \"%k\"");
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %*d)", 1));
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (?, %d)", 1));  // a parameter of its own
    EXPECT_FALSE(db->executeUpdateWithFormat(static_cast<const char*>(nullptr)));
    if (Unprintable::cls() == nil)
        objc::ClassDef<Unprintable>("Unprintable", NSObject::cls()).method<raiseInDescription>("description");
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %@)", autorelease(class_createInstance(Unprintable::cls()))));
    EXPECT_EQ(message(), "no description");
    EXPECT_EQ(code(), SQLITE_MISUSE);
    EXPECT_EQ(row(1), "");
}

TEST_F(FMDatabaseTest, StatementErrorsAreReported) {
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO nowhere VALUES (%d)", 1));
    EXPECT_EQ(code(), SQLITE_ERROR);
    EXPECT_EQ(message(), "no such table: nowhere");
    EXPECT_FALSE(db->executeUpdateWithFormat("SELECT %d", 1));  // rows are no update
    EXPECT_TRUE(objc_msgSend<BOOL()>(db, "close"_sel));
    EXPECT_TRUE(objc_msgSend<BOOL()>(db, "close"_sel));
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, 1)"));
    EXPECT_EQ(message(), "the database is not open");
}

TEST_F(FMDatabaseTest, OpeningNeverCreatesAFile) {
    auto* missing = objc_msgSend<FMDatabase*(NSString*)>(FMDatabase::cls(), "databaseWithPath:"_sel, "gone.db"_ns);
    EXPECT_FALSE(objc_msgSend<BOOL()>(missing, "open"_sel));
    EXPECT_EQ(objc_msgSend<int()>(missing, "lastErrorCode"_sel), SQLITE_CANTOPEN);
    EXPECT_FALSE(std::filesystem::exists(root.host("gone.db")));
    for (id path : {static_cast<id>("../../x.db"_ns), static_cast<id>(NSNumber::withLongLong(1))})  // outside; no path
        EXPECT_FALSE(objc_msgSend<BOOL()>(objc_msgSend<id(id)>(FMDatabase::cls(), "databaseWithPath:"_sel, path), "open"_sel));

    std::ofstream(root.host("junk.db")) << "no database here";
    auto* junk = objc_msgSend<FMDatabase*(NSString*)>(FMDatabase::cls(), "databaseWithPath:"_sel, "junk.db"_ns);
    EXPECT_TRUE(objc_msgSend<BOOL()>(junk, "open"_sel));  // SQLite reads the header lazily
    EXPECT_FALSE(junk->executeUpdateWithFormat("CREATE TABLE x (a)"));
    EXPECT_EQ(objc_msgSend<int()>(junk, "lastErrorCode"_sel), SQLITE_NOTADB);
}

TEST_F(FMDatabaseTest, ALockedDatabaseIsRetriedForTheInterval) {
    EXPECT_EQ(objc_msgSend<double()>(db, "maxBusyRetryTimeInterval"_sel), 2.0);
    objc_msgSend<void(double)>(db, "setMaxBusyRetryTimeInterval:"_sel, 0.3);
    sqlite3* other = nullptr;
    sqlite3_open(root.host("t.db").c_str(), &other);
    sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %d)", 1));
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(waited, 0.28);
    EXPECT_LT(waited, 2.0);
    EXPECT_EQ(code(), SQLITE_BUSY);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(db->executeUpdateWithFormat("INSERT INTO t VALUES (1, %d)", 1));
}

}  // namespace
