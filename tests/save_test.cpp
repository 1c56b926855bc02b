// Saving: a complete file that readers open, or nothing changed.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "glyphrun/codecs.h"
#include "image_readers.h"
#include "temp_folder.h"

namespace glyphrun {
namespace {

using namespace testing;

using Save = TempFolderTest;

// A larger file is replaced whole, under /dev too (a regular file there is no device).
TEST_F(Save, EveryTypeReplacesTheFileWholeAndReadsBack) {
    GrImage image;
    FillRandom(image, 33, 21, 24, 1, 2);
    const std::string shm = "/dev/shm/glyphrun-save-test-" + std::to_string(getpid());
    for (const std::string& base : {dir + "/a", shm}) {
        if (base == shm && access("/dev/shm", W_OK) != 0) continue;
        for (auto [type, extension] : {std::pair{TypeBmp, ".bmp"}, {TypeGif, ".gif"}, {TypePng, ".png"}}) {
            const std::string path = base + extension;
            std::ofstream(path) << std::string(100000, 'x');
            ASSERT_TRUE(image.Save(path.c_str(), type)) << image.GetLastError();
            const Bytes file = ReadFile(path);
            unlink(path.c_str());
            const auto read = ReadWithStb(file);
            ASSERT_TRUE(read) << path;
            EXPECT_TRUE(SamePixels(*read, PictureOf(image))) << path;
            EXPECT_LT(file.size(), 100000u) << path;  // not the old file's tail after the new bytes
        }
    }
}

// Each writer fails on a stream that takes no bytes, an image without pixels, a full device or a file-size
// limit, with its message, and the file there stays as it was.
TEST_F(Save, FailuresSayWhyAndLeaveTheFile) {
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

    GrImage image(10, 10, 24);
    const std::string path = Keep("keep.png");
    EXPECT_FALSE(image.Save(path.c_str(), TypeUnknown));
    EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    EXPECT_FALSE(image.Save(path.c_str(), 4));
    EXPECT_EQ(Slurp(path), "precious");
    const std::string full = dir + "/full.gif";
    ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
    for (uint32_t type : {TypeBmp, TypeGif, TypePng}) {
        EXPECT_FALSE(image.Save(full.c_str(), type)) << type;
        EXPECT_NE(std::string(image.GetLastError()).find("No space left on device"), std::string::npos)
            << image.GetLastError();
    }

    const pid_t child = fork();
    if (child == 0) {  // the limit is the child's alone
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        FillRandom(image, 200, 200, 24, 3);
        bool allFailed = true;
        for (uint32_t type : {TypeBmp, TypeGif, TypePng}) allFailed = allFailed && !image.Save(path.c_str(), type);
        _exit(allFailed && std::string(image.GetLastError()).find("File too large") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Slurp(path), "precious");
    EXPECT_EQ(Entries(), (std::set<std::string>{"full.gif", "keep.png"}));  // no temporary file left
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
