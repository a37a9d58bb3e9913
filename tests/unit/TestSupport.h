// What the unit tests share: a fresh scratch folder as the current directory, files, waits.
#pragma once

#include "framework/AsyncSocket.h"
#include "framework/Crypto.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

namespace test {

inline void WriteFile(const std::string& name, const std::string& contents) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << contents;
}
inline void WriteSized(const std::string& name, size_t size) {
    WriteFile(name, std::string(size, 'z'));
}
inline std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline bool Exists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(name, ec);
}

inline std::string Hex(const sys::Sha256Digest& digest) {
    std::string text;
    for (uint8_t byte : digest)
        text += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
    return text;
}

// Runs the event loop until `done` holds, for about `ms` at most; whether it holds.
inline bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
    for (int i = 0; i < ms / 10 && !done(); ++i)
        AfxPumpEvents(10);
    return done();
}

class ScratchDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::error_code ec;
        m_previous = std::filesystem::current_path(ec);
        std::random_device random;
        m_dir = std::filesystem::temp_directory_path(ec) /
                ("zyn-unit-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_dir, ec);
        ASSERT_FALSE(ec) << ec.message();
        std::filesystem::current_path(m_dir, ec);
        ASSERT_FALSE(ec) << ec.message();
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::current_path(m_previous, ec);
        std::filesystem::remove_all(m_dir, ec);
    }

  private:
    std::filesystem::path m_previous, m_dir;
};

} // namespace test

using namespace test;
