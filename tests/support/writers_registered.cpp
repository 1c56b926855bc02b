// Every test program saves through GrImage with the codecs' writers in
// place, as the libraries' own callers do after RegisterImageWriters().
#include <gtest/gtest.h>

#include "glyphrun/codecs.h"

namespace {

class WritersRegistered : public ::testing::Environment {
public:
    void SetUp() override { glyphrun::RegisterImageWriters(); }
};

const ::testing::Environment* const kWriters = ::testing::AddGlobalTestEnvironment(new WritersRegistered);

}  // namespace
