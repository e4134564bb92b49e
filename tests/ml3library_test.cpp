// The platform's private media-library object (ML3MusicLibrary) over the
// fixture library, read back through a connection of its own; and JPEG
// encoding of images at a quality.
#include "MediaLibraryFixture.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/ML3MusicLibrary.h>
#include <UIKit/UIImage.h>
#include <platform/Platform.h>

#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string query(const std::string& sqlText) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sqlText.c_str(), -1, &st, nullptr);
    std::string out = "<none>";
    if (sqlite3_step(st) == SQLITE_ROW) {
        auto* t = sqlite3_column_text(st, 0);
        out = t ? reinterpret_cast<const char*>(t) : "<NULL>";
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

class ML3Library : public ::testing::Test {
protected:
    void SetUp() override {
        platform::initialize();
        ASSERT_TRUE(fixture::writeLibrary());
        library = objc_msgSend<id()>(objc_getClass("ML3MusicLibrary"), "sharedLibrary"_sel);
        ASSERT_NE(library, nullptr);
        platform::ml3::setRefusesImports(false);
        platform::ml3::setAutogenerateForms(true, true);
    }
    NSData* jpeg(double r, double quality) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 30);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, r, 0.2, 0.4);
        cairo_paint(cr);
        cairo_destroy(cr);
        return UIImageJPEGRepresentation(UIImage::withSurface(s), quality);
    }
    std::string token(id artwork) { return to_string(objc_msgSend<NSString*()>(artwork, "artworkToken"_sel)); }
    std::string path(id artwork) { return to_string(objc_msgSend<NSString*()>(artwork, "relativePath"_sel)); }
    BOOL import(NSData* data, const char* t) {
        return objc_msgSend<BOOL(id, id, NSInteger, NSInteger, NSInteger)>(
            library, "importOriginalArtworkFromImageData:withArtworkToken:artworkType:sourceType:mediaType:"_sel, data,
            NSString::make(t), 1, 2, 1);
    }
    std::string original(const std::string& rel) {
        return platform::devicePath(std::string(platform::artworkFolderDevicePath()) + "/" + rel);
    }

    test::TempRoot root;
    id library = nil;
};

TEST_F(ML3Library, JPEGEncodingFollowsTheQuality) {
    NSData* high = jpeg(0.8, 1.0);
    NSData* low = jpeg(0.8, 0.1);
    ASSERT_NE(high, nullptr);
    ASSERT_NE(low, nullptr);
    EXPECT_GT(high->length(), low->length());
    cairo_surface_t* back = platform::decodeImage(high->bytes(), high->length());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(cairo_image_surface_get_width(back), 40);
    uint32_t p = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(back))[0];
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 204, 3);  // red 0.8
    cairo_surface_destroy(back);
}

// Fetch, import under a token, sizes, delete and the orphan sweep, as the
// database and the files show them afterwards.
TEST_F(ML3Library, ArtworkLifeCycle) {
    id art = objc_msgSend<id(unsigned long long)>(library, "fetchItemArtworkForPersistentID:"_sel, 1001ull);
    EXPECT_EQ(token(art), "aw1");
    EXPECT_EQ(path(art), "a1/arrival.png");
    id none = objc_msgSend<id(unsigned long long)>(library, "fetchItemArtworkForPersistentID:"_sel, 1003ull);
    EXPECT_EQ(objc_msgSend<id()>(none, "artworkToken"_sel), nullptr);

    ASSERT_TRUE(import(jpeg(0.1, 1.0), "77"));
    std::string rel = query("SELECT relative_path FROM artwork WHERE artwork_token = '77'");
    ASSERT_NE(rel, "<none>");
    EXPECT_TRUE(std::filesystem::exists(original(rel)));
    EXPECT_EQ(query("SELECT artwork_source_type || ',' || artwork_type FROM artwork WHERE artwork_token = '77'"), "2,1");

    // The sync token wins over the best one.
    {
        sqlite3* db = nullptr;
        sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
        sqlite3_exec(db, "UPDATE item_artwork SET sync_artwork_token = '77' WHERE item_pid = 1001", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    art = objc_msgSend<id(unsigned long long)>(library, "fetchItemArtworkForPersistentID:"_sel, 1001ull);
    EXPECT_EQ(token(art), "77");
    EXPECT_EQ(path(art), rel);

    objc_msgSend<void(id, NSInteger, NSInteger, id)>(
        library, "_autogenerateArtworkForRelativePath:artworkType:mediaType:completionHandler:"_sel, NSString::make(rel), 1,
        1, nil);
    for (const char* size : {"600x600", "100x100"})
        EXPECT_TRUE(std::filesystem::exists(
            platform::devicePath(std::string(platform::ml3::artworkCachesDevicePath()) + "/" + size + "/" + rel)))
            << size;

    // An import under a kept token replaces the file.
    ASSERT_TRUE(import(jpeg(0.9, 1.0), "77"));
    std::string again = query("SELECT relative_path FROM artwork WHERE artwork_token = '77'");
    EXPECT_NE(again, rel);

    objc_msgSend<void(id)>(library, "deleteArtworkWithToken:"_sel, "77"_ns);
    EXPECT_EQ(query("SELECT count(*) FROM artwork WHERE artwork_token = '77'"), "0");
    EXPECT_FALSE(std::filesystem::exists(original(again)));

    ASSERT_TRUE(import(jpeg(0.5, 1.0), "orphan"));
    objc_msgSend<void(NSInteger)>(library, "deleteOrphanedArtworkWithSearchOptions:"_sel, 1);
    EXPECT_EQ(query("SELECT count(*) FROM artwork WHERE artwork_token = 'orphan'"), "0");
    EXPECT_EQ(query("SELECT count(*) FROM artwork WHERE artwork_token = 'aw1'"), "1");
}

TEST_F(ML3Library, TestSwitchesRefuseImportsAndRemoveEitherSizeForm) {
    platform::ml3::setRefusesImports(true);
    EXPECT_FALSE(import(jpeg(0.1, 1.0), "88"));
    EXPECT_EQ(query("SELECT count(*) FROM artwork WHERE artwork_token = '88'"), "0");
    platform::ml3::setRefusesImports(false);
    EXPECT_FALSE(import(nil, "88"));
    EXPECT_FALSE(import(jpeg(0.1, 1.0), ""));

    SEL withHandler = "_autogenerateArtworkForRelativePath:artworkType:mediaType:completionHandler:"_sel;
    SEL plain = "_autogenerateArtworkForRelativePath:artworkType:mediaType:"_sel;
    platform::ml3::setAutogenerateForms(false, true);
    EXPECT_FALSE(objc_msgSend<BOOL(SEL)>(library, "respondsToSelector:"_sel, withHandler));
    EXPECT_TRUE(objc_msgSend<BOOL(SEL)>(library, "respondsToSelector:"_sel, plain));
    platform::ml3::setAutogenerateForms(true, false);
    EXPECT_TRUE(objc_msgSend<BOOL(SEL)>(library, "respondsToSelector:"_sel, withHandler));
    EXPECT_FALSE(objc_msgSend<BOOL(SEL)>(library, "respondsToSelector:"_sel, plain));
    EXPECT_ANY_THROW(objc_msgSend<void(id, NSInteger, NSInteger)>(library, plain, "x.jpg"_ns, 1, 1));
}

}  // namespace
