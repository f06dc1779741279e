#pragma once
// The files the benchmark and the comparison write: a scratch folder, reading them back, their goldens.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The current folder is a new, empty one for the lifetime of the object.
struct ScratchDirectory {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("orvalis_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                                 "_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    ScratchDirectory()
    {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
    ~ScratchDirectory()
    {
        std::filesystem::current_path(previous);
#ifdef ORVALIS_RESULTS_COPIES
        // The results files written here, for the schema check after the tests.
        static int kept = 0;
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("benchmark_", 0) == 0 && entry.path().extension() == ".json" && entry.is_regular_file()) {
                std::filesystem::create_directories(ORVALIS_RESULTS_COPIES);
                std::filesystem::copy_file(entry.path(), std::filesystem::path(ORVALIS_RESULTS_COPIES) /
                                                             (test + "_" + std::to_string(++kept) + ".json"),
                                           std::filesystem::copy_options::overwrite_existing);
            }
        }
#endif
        std::filesystem::remove_all(dir);
    }
    long Files() const { return std::distance(std::filesystem::directory_iterator(dir), {}); }
};

inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The goldens keep no copies of the chart libraries: where a page holds one (CR LF), the golden holds "{{" + path + "}}".
inline const char* const kPageLibraries[] = {"third_party/chart.js/chart.min.js", "third_party/hammerjs/hammer.min.js",
                                             "third_party/chartjs-plugin-zoom/chartjs-plugin-zoom.min.js"};

// Compares the bytes with tests/data/<golden>; ORVALIS_UPDATE_GOLDENS=1 rewrites the golden instead.
inline void ExpectGolden(std::string bytes, const std::string& golden)
{
    for (const std::string library : kPageLibraries) {
        std::string text;
        for (char ch : ReadText(std::filesystem::path(ORVALIS_SOURCE_DIR) / library)) {
            text += ch == '\n' ? "\r\n" : std::string(1, ch);
        }
        if (const size_t at = bytes.find(text); at != std::string::npos) {
            bytes.replace(at, text.size(), "{{" + library + "}}");
        }
    }
    const std::filesystem::path path = std::filesystem::path(ORVALIS_TEST_DATA) / golden;
    if (std::getenv("ORVALIS_UPDATE_GOLDENS") != nullptr) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    EXPECT_EQ(bytes, ReadText(path)) << "the bytes differ from " << path << " (or it is missing)";
}
