#include "FakeEngines.h"
#include "TeskError.h"
#include "cUnzip.h"
#include "cZip.h"

#include <gtest/gtest.h>

// This test runs from a folder without engine libraries. A second call reports the same
// instead of crashing on a half-loaded library.
TEST(MissingEngine, CallsFailWithALoadErrorFromTheBinding) {
    cUnzip unzip;
    unzip.ZipFile("/nowhere.zip");
    cZip zip;
    zip.ZipFile("/nowhere.zip");
    for (int call = 0; call < 2; ++call) {
        try {
            unzip.Directory();
            ADD_FAILURE() << "no error";
        } catch (const TeskError &e) {
            EXPECT_EQ(std::to_string(e.Number()) + " " + e.Source(), "48 tesk.VBUnzip");
            EXPECT_NE(e.Description().find("vbuzip10"), std::string::npos);
        }
        EXPECT_EQ(fake::ErrorOf<TeskError>([&] { zip.Zip(); }), "48 tesk.VBZip");
    }
    EXPECT_EQ(unzip.FileCount(), 0);
    EXPECT_TRUE(zip.Success());
}
