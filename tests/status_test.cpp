// A failure of one layer never answers for another's: every pair of the
// layers' error enums, value by value.
#include <gtest/gtest.h>

#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/gs1.h"
#include "glyphrun/safe_file.h"
#include "glyphrun/text_input.h"
#include "glyphrun/vector.h"
#include "glyphrun/write.h"

namespace glyphrun {
namespace {

// The failures of an enum, values 1 to `last`, as Status::Failed makes them,
// with the test of each against a code.
struct Layer {
    const char* name;
    std::vector<Status> failures;
    bool (*is)(const Status&, int);
};

template <ErrorEnum Code>
Layer LayerOf(const char* name, Code last) {
    Layer layer{name, {}, [](const Status& status, int value) { return status.Is(static_cast<Code>(value)); }};
    for (int value = 1; value <= static_cast<int>(last); ++value)
        layer.failures.push_back(Status::Failed(static_cast<Code>(value), name));
    return layer;
}

TEST(Status, CodesOfDifferentLayersNeverCompareEqual) {
    const std::vector<Layer> layers = {
        LayerOf("encode", EncodeError::TooFewPlacesToSplit), LayerOf("gs1", Gs1Error::Invalid),
        LayerOf("input", InputError::BadGs1),             LayerOf("file", FileWriteError::System),
        LayerOf("png", CompactPngError::OutOfMemory),        LayerOf("pgm", PgmError::OutOfMemory),
        LayerOf("vector", VectorError::Refused),             LayerOf("write", WriteError::UnknownFormat),
        LayerOf("barcode", BarcodeError::NoBitmap),
    };
    for (const Layer& a : layers)
        for (const Layer& b : layers)
            for (size_t i = 0; i < a.failures.size(); ++i)
                for (size_t value = 1; value <= b.failures.size(); ++value)
                    EXPECT_EQ(b.is(a.failures[i], static_cast<int>(value)), &a == &b && value == i + 1)
                        << a.name << " " << i + 1 << " as " << b.name << " " << value;
}

}  // namespace
}  // namespace glyphrun
