// ImageMagick as the independent reader of the picture writers' output in the native tests:
// files decoded to RGBA by `convert`, properties read by `identify`.
#pragma once

#include "scratch_folder.h"

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
class MagickFolder : public ScratchFolder {
public:
    MagickFolder() : ScratchFolder("magick") {}
};

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
