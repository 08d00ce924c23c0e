#include "TeskError.h"
#include "cUnzip.h"
#include "cZip.h"

#include <gtest/gtest.h>

// This test runs from a folder without engine libraries.
TEST(MissingEngine, CallsFailWithALoadErrorFromTheBinding) {
    cUnzip unzip;
    unzip.ZipFile("/nowhere.zip");
    try {
        unzip.Directory();
        FAIL();
    } catch (const TeskError &e) {
        EXPECT_EQ(e.Number(), TeskError::kLibraryNotLoaded);
        EXPECT_EQ(e.Source(), "tesk.VBUnzip");
        EXPECT_NE(e.Description().find("vbuzip10"), std::string::npos);
    }
    EXPECT_EQ(unzip.FileCount(), 0);

    cZip zip;
    zip.ZipFile("/nowhere.zip");
    try {
        zip.Zip();
        FAIL();
    } catch (const TeskError &e) {
        EXPECT_EQ(e.Number(), TeskError::kLibraryNotLoaded);
        EXPECT_EQ(e.Source(), "tesk.VBZip");
    }
    EXPECT_TRUE(zip.Success());
    // A second call reports the same instead of crashing on a half-loaded library.
    EXPECT_THROW(unzip.Directory(), TeskError);
}
