#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "glyphrun/gr_file.h"

namespace glyphrun {
namespace {

TEST(GrMemFile, GrowsReadsAndSeeks) {
    GrMemFile file;
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Size(), 0);
    EXPECT_TRUE(file.Eof());
    EXPECT_EQ(file.GetC(), -1);
    EXPECT_TRUE(file.PutC('a'));
    EXPECT_EQ(file.Write("bcde", 1, 4), 4u);
    EXPECT_EQ(file.Size(), 5);

    ASSERT_TRUE(file.Seek(0, SEEK_SET));
    char items[12] = {};
    EXPECT_EQ(file.Read(items, 4, 3), 1u);  // five bytes: one whole item of four
    EXPECT_STREQ(items, "abcde");
    EXPECT_TRUE(file.Eof());

    EXPECT_TRUE(file.Seek(-10, SEEK_SET));
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_FALSE(file.Seek(1, 3));
    ASSERT_TRUE(file.Seek(2, SEEK_SET));
    EXPECT_FALSE(file.Seek(LONG_MAX, SEEK_CUR));  // past what a position can hold
    EXPECT_EQ(file.Tell(), 2);
    ASSERT_TRUE(file.Seek(3, SEEK_END));  // past the end
    EXPECT_EQ(file.Error(), 1);
    EXPECT_EQ(file.GetC(), -1);
    EXPECT_EQ(file.Write("z", 1, 1), 1u);
    EXPECT_EQ(file.Size(), 9);
    const unsigned char* bytes = file.GetBuffer(false);
    EXPECT_EQ(std::memcmp(bytes, "abcde\0\0\0z", 9), 0);  // the gap holds zeros, not old heap bytes
}

TEST(GrMemFile, HandedOverBufferIsNeverTouchedAgain) {
    unsigned char* buffer = nullptr;
    {
        GrMemFile file;
        ASSERT_TRUE(file.Open());
        std::string big(5000, 'x');
        EXPECT_EQ(file.Write(big.data(), 1, big.size()), big.size());
        buffer = file.GetBuffer(true);
        // A write past the capacity would have to move the buffer it gave away.
        EXPECT_EQ(file.Write(big.data(), 1, big.size()), 0u);
        EXPECT_EQ(file.GetBuffer(false), buffer);
    }
    EXPECT_EQ(buffer[4999], 'x');  // still ours after the stream is gone
    std::free(buffer);
}

TEST(GrIOFile, CallersStreamStaysOpen) {
    FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    {
        GrIOFile file(stream);
        EXPECT_FALSE(file.Open("/dev/null", "wb"));  // already attached
        EXPECT_TRUE(file.PutC('q'));
        EXPECT_TRUE(file.Close());
        EXPECT_EQ(file.Size(), 1);
    }
    EXPECT_EQ(std::fseek(stream, 0, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(stream), 'q');
    std::fclose(stream);
    GrIOFile none;
    EXPECT_EQ(none.Tell(), 0);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_EQ(none.Write("a", 1, 1), 0u);
}

}  // namespace
}  // namespace glyphrun
