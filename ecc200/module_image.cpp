#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "glyphrun/ecc200.h"

namespace glyphrun {

ModuleImage* CreateModuleImage(int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return nullptr;
    auto* image = static_cast<ModuleImage*>(std::calloc(1, sizeof(ModuleImage)));
    if (!image) return nullptr;
    image->width = width;
    image->height = height;
    image->clipXMax = width - 1;
    image->clipYMax = height - 1;
    image->pixels = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(width) * static_cast<size_t>(height), 3));
    if (!image->pixels) FreeModuleImage(image);
    return image;
}

int FreeModuleImage(ModuleImage*& image) {
    if (!image) return 0;
    std::free(image->pixels);
    std::free(image);
    image = nullptr;
    return 1;
}

int64_t ModuleImagePixelCount(const ModuleImage* image) {
    if (!image) return -1;
    return static_cast<int64_t>(image->width) * image->height;
}

int SetModuleImagePixel(ModuleImage* image, int32_t x, int32_t y, uint8_t c0, uint8_t c1, uint8_t c2) {
    if (!image || x < image->clipXMin || x > image->clipXMax || y < image->clipYMin || y > image->clipYMax) return 0;
    // The clip rectangle is public and may have been widened by a caller.
    if (x < 0 || x >= image->width || y < 0 || y >= image->height) return 0;
    uint8_t* pixel = image->pixels + 3 * (static_cast<size_t>(image->height - 1 - y) * image->width + x);
    pixel[0] = c0;
    pixel[1] = c1;
    pixel[2] = c2;
    return 1;
}

void Matrix3Identity(Matrix3& matrix) { matrix = Matrix3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}; }

void Matrix3Translate(Matrix3& matrix, double tx, double ty) {
    Matrix3Identity(matrix);
    matrix.m[2][0] = tx;
    matrix.m[2][1] = ty;
}

void Matrix3Scale(Matrix3& matrix, double sx, double sy) {
    Matrix3Identity(matrix);
    matrix.m[0][0] = sx;
    matrix.m[1][1] = sy;
}

void Matrix3Multiply(Matrix3& out, const Matrix3& a, const Matrix3& b) {
    Matrix3 product{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) product.m[i][j] += a.m[i][k] * b.m[k][j];
    out = product;
}

int TransformPoint(Point2& out, const Point2& in, const Matrix3& matrix) {
    const auto& m = matrix.m;
    const double w = in.x * m[0][2] + in.y * m[1][2] + m[2][2];
    if (std::fabs(w) < 1e-6) {
        out = {FLT_MAX, FLT_MAX};
        return 0;
    }
    out = {(in.x * m[0][0] + in.y * m[1][0] + m[2][0]) / w, (in.x * m[0][1] + in.y * m[1][1] + m[2][1]) / w};
    return 1;
}

}  // namespace glyphrun
