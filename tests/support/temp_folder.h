// A fresh folder for each test of a fixture, removed with all it holds.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace glyphrun::testing {

// A file's whole content; empty when it cannot be read.
inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempFolderTest : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        char pattern[] = "/tmp/glyphrun-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // A file that a failed write must leave as it was.
    std::string Keep(const std::string& name, const std::string& text = "precious") {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    // The names in `folder` (the test's own by default).
    std::set<std::string> Entries(const std::string& folder = "") const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? dir : folder))
            names.insert(entry.path().filename());
        return names;
    }
};

}  // namespace glyphrun::testing
