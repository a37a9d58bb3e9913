// A fixture that runs each test in a fresh temporary directory, removed afterwards, since the
// launcher reads and writes every file by a bare name in its current directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

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

    static void WriteFile(const std::string& name, const std::string& contents) {
        std::ofstream(name, std::ios::binary | std::ios::trunc) << contents;
    }
    static std::string ReadFile(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static bool Exists(const std::string& name) {
        std::error_code ec;
        return std::filesystem::exists(name, ec);
    }
    static void WriteSized(const std::string& name, size_t size) {
        WriteFile(name, std::string(size, 'z'));
    }

  private:
    std::filesystem::path m_previous;
    std::filesystem::path m_dir;
};
