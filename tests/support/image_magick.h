// ImageMagick as the independent reader of the picture writers' output in the native tests:
// files decoded to RGBA by `convert`, properties read by `identify`.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tarn::test {

inline constexpr const char* kConvert = "/usr/bin/convert";
inline constexpr const char* kIdentify = "/usr/bin/identify";

inline bool HaveImageMagick() { return std::filesystem::exists(kConvert) && std::filesystem::exists(kIdentify); }

// A scratch folder for the files handed to ImageMagick, removed afterwards.
class MagickFolder {
public:
    MagickFolder() {
        static int count = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("tarn-magick-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
        std::filesystem::create_directories(path_);
    }
    ~MagickFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    MagickFolder(const MagickFolder&) = delete;
    MagickFolder& operator=(const MagickFolder&) = delete;

    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
    std::vector<std::uint8_t> Read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Runs a command and returns its standard output; `ok` tells whether it exited with 0.
inline std::string RunCommand(const std::string& command, bool& ok) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ok = false;
        return output;
    }
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) output.append(buffer, n);
    ok = pclose(pipe) == 0;
    return output;
}

// Decodes every file in one run of convert; each result is the file's RGBA pixels, turned
// upright by its recorded orientation.
inline std::vector<std::vector<std::uint8_t>> DecodeAll(const MagickFolder& folder,
                                                        const std::vector<std::string>& files) {
    std::string command = kConvert;
    for (const std::string& f : files) command += " '" + f + "'";
    command += " -auto-orient -depth 8 'rgba:" + (folder / "decoded-%d.rgba") + "' 2>&1";
    bool ok = false;
    const std::string messages = RunCommand(command, ok);
    EXPECT_TRUE(ok) << messages;
    std::vector<std::vector<std::uint8_t>> pictures;
    for (std::size_t i = 0; i < files.size(); ++i) {
        pictures.push_back(folder.Read("decoded-" + std::to_string(i) + ".rgba"));
    }
    return pictures;
}

// identify's answer for one file and a format string such as "%w %h %Q".
inline std::string Identify(const std::string& file, const std::string& format) {
    bool ok = false;
    const std::string text = RunCommand(std::string(kIdentify) + " -format '" + format + "' '" + file + "' 2>&1", ok);
    EXPECT_TRUE(ok) << text;
    return text;
}

}  // namespace tarn::test
