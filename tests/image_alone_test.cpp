// The image library links without the codecs: an image can be made and
// drawn, and saving it fails cleanly, leaving no file, for want of a writer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "glyphrun/gr_image.h"

namespace glyphrun {
namespace {

TEST(ImageAlone, SavingWithoutTheCodecsFailsAndWritesNothing) {
    GrImage image;
    ASSERT_NE(image.Create(8, 8, 24), nullptr);
    char folder[] = "/tmp/glyphrun-alone-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/image.png";
    EXPECT_FALSE(image.Save(path.c_str(), TypePng));
    EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    EXPECT_FALSE(image.Encode(buffer, size, TypeBmp));
    EXPECT_EQ(buffer, nullptr);
    rmdir(folder);
}

}  // namespace
}  // namespace glyphrun
