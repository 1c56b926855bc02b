#include <gtest/gtest.h>

#include <cfloat>

#include "glyphrun/ecc200.h"

namespace glyphrun {
namespace {

TEST(ModuleImage, PixelsAreStoredTopRowFirstAndClipped) {
    ModuleImage* image = CreateModuleImage(4, 3);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(ModuleImagePixelCount(image), 12);
    EXPECT_EQ(SetModuleImagePixel(image, 1, 2, 10, 20, 30), 1);  // top row: stored first
    EXPECT_EQ(image->pixels[3], 10);
    EXPECT_EQ(image->pixels[5], 30);
    EXPECT_EQ(SetModuleImagePixel(image, 0, 0, 7, 7, 7), 1);  // bottom row: stored last
    EXPECT_EQ(image->pixels[3 * 8], 7);
    EXPECT_EQ(SetModuleImagePixel(image, 4, 0, 1, 1, 1), 0);
    EXPECT_EQ(SetModuleImagePixel(image, 0, -1, 1, 1, 1), 0);
    // A clip rectangle widened past the pixels still writes nothing outside.
    image->clipXMax = 100;
    EXPECT_EQ(SetModuleImagePixel(image, 50, 0, 1, 1, 1), 0);
    EXPECT_EQ(FreeModuleImage(image), 1);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(FreeModuleImage(image), 0);
    EXPECT_EQ(ModuleImagePixelCount(nullptr), -1);
}

TEST(ModuleImage, RefusesSidesOutsideTheLimitAndDegenerateTransforms) {
    EXPECT_EQ(CreateModuleImage(0, 5), nullptr);
    EXPECT_EQ(CreateModuleImage(5, -1), nullptr);
    EXPECT_EQ(CreateModuleImage(kMaxImageSide + 1, 1), nullptr);
    ModuleImage* edge = CreateModuleImage(kMaxImageSide, 1);
    EXPECT_NE(edge, nullptr);
    FreeModuleImage(edge);
    Point2 p;
    EXPECT_EQ(TransformPoint(p, {1, 1}, Matrix3{}), 0);  // a degenerate transform fails
}

}  // namespace
}  // namespace glyphrun
