// Saving: a complete file that readers open, or nothing changed.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include "glyphrun/codecs.h"
#include "image_readers.h"
#include "temp_folder.h"

namespace glyphrun {
namespace {

using namespace testing;

using Save = TempFolderTest;

TEST_F(Save, WritesEveryTypeThatReadersOpen) {
    GrImage image;
    FillRandom(image, 33, 21, 24, 1, 2);
    for (auto [type, name] : {std::pair{TypeBmp, "a.bmp"}, {TypeGif, "a.gif"}, {TypePng, "a.png"}}) {
        const std::string path = dir + "/" + name;
        ASSERT_TRUE(image.Save(path.c_str(), type)) << image.GetLastError();
        const auto read = ReadWithStb(ReadFile(path));
        ASSERT_TRUE(read) << name;
        EXPECT_TRUE(SamePixels(*read, PictureOf(image))) << name;
    }
}

// A stream that takes no bytes, or an image without pixels, fails every
// writer with its message.
TEST_F(Save, ClosedStreamOrEmptyImageFailsEveryWriter) {
    for (auto [type, message] : {std::pair{TypeBmp, "Write Error in BMP file"},
                                 {TypeGif, "Write Error in GIF file"},
                                 {TypePng, "Error saving PNG file"}}) {
        for (uint32_t bpp : {1u, 8u, 24u}) {
            GrImage image;
            FillRandom(image, 40, 40, bpp, 7);
            GrMemFile closed;  // never opened
            EXPECT_FALSE(image.Encode(&closed, type)) << message;
            EXPECT_STREQ(image.GetLastError(), message) << bpp;
        }
        GrImage empty;
        GrMemFile memory;
        memory.Open();
        EXPECT_FALSE(empty.Encode(&memory, type)) << type;
        EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    }
}

TEST_F(Save, FailuresLeaveTheExistingFileAsItWas) {
    GrImage image(10, 10, 24);
    const std::string path = Keep("keep.png");
    EXPECT_FALSE(image.Save(path.c_str(), TypeUnknown));
    EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    EXPECT_FALSE(image.Save(path.c_str(), 4));
    GrImage empty;
    EXPECT_FALSE(empty.Save(path.c_str(), TypePng));
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    EXPECT_EQ(ReadFile(path), (Bytes{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));

    // A full device fails every writer with the system's reason.
    const std::string full = dir + "/full.gif";
    ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
    for (uint32_t type : {TypeBmp, TypeGif, TypePng}) {
        EXPECT_FALSE(image.Save(full.c_str(), type)) << type;
        EXPECT_NE(std::string(image.GetLastError()).find("No space left on device"), std::string::npos)
            << image.GetLastError();
    }
}

// A file-size limit stops the write midway: the save fails and the old
// file stays whole. Run in a child, which sets the limit for itself.
TEST_F(Save, FileSizeLimitMidwayKeepsTheOldFile) {
    const std::string path = Keep("limited.bmp");
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        GrImage image;
        FillRandom(image, 200, 200, 24, 3);
        bool allFailed = true;
        for (uint32_t type : {TypeBmp, TypeGif, TypePng}) allFailed = allFailed && !image.Save(path.c_str(), type);
        _exit(allFailed && std::string(image.GetLastError()).find("File too large") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(path).size(), 8u);
    EXPECT_NE(std::system(("ls -a '" + dir + "' | grep -q .glyphrun-").c_str()), 0) << "temporary files left behind";
}

// Regular files anywhere, /dev/shm included, are replaced whole; an open
// stream that cannot take the bytes is a failure, not a success.
TEST_F(Save, RegularFilesUnderDevAndFullStreams) {
    GrImage image;
    FillRandom(image, 30, 30, 24, 5);
    if (access("/dev/shm", W_OK) == 0) {
        const std::string path = "/dev/shm/glyphrun-save-test-" + std::to_string(getpid()) + ".png";
        std::ofstream(path) << std::string(100000, 'x');
        ASSERT_TRUE(image.Save(path.c_str(), TypePng)) << image.GetLastError();
        const auto read = ReadWithStb(ReadFile(path));
        EXPECT_TRUE(read && SamePixels(*read, PictureOf(image)));
        EXPECT_LT(ReadFile(path).size(), 100000u);  // not the old file's tail after the new bytes
        unlink(path.c_str());
    }
    for (uint32_t type : {TypeBmp, TypeGif, TypePng}) {
        FILE* full = std::fopen("/dev/full", "wb");
        ASSERT_NE(full, nullptr);
        EXPECT_FALSE(image.Encode(full, type)) << type;
        std::fclose(full);
    }
}

// A buffer that already holds a file is neither overwritten nor leaked.
TEST_F(Save, EncodeToMemoryWantsAnEmptyBuffer) {
    GrImage image(3, 3, 8);
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    ASSERT_TRUE(image.Encode(buffer, size, TypeGif));
    EXPECT_FALSE(image.Encode(buffer, size, TypeGif));
    EXPECT_STREQ(image.GetLastError(), "the buffer must be empty");
    GrImage::FreeMemory(buffer);
}

}  // namespace
}  // namespace glyphrun
