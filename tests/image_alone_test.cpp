// The image library links without the codecs: an image can be made and
// drawn, and saving it fails cleanly, leaving no file, for want of a writer.
#include <gtest/gtest.h>

#include "glyphrun/gr_image.h"
#include "support/temp_folder.h"

namespace glyphrun {
namespace {

using ImageAlone = testing::TempFolderTest;

TEST_F(ImageAlone, SavingWithoutTheCodecsFailsAndWritesNothing) {
    GrImage image;
    ASSERT_NE(image.Create(8, 8, 24), nullptr);
    EXPECT_FALSE(image.Save((dir + "/image.png").c_str(), TypePng));
    EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    EXPECT_TRUE(Entries().empty());
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    EXPECT_FALSE(image.Encode(buffer, size, TypeBmp));
    EXPECT_EQ(buffer, nullptr);
}

}  // namespace
}  // namespace glyphrun
