// The image conversion service under WIC and GDI: every save format read back by WIC itself,
// GIF transparency, files other programs wrote, metafiles drawn at their own size or the
// size asked for, and refusal of files cut short without a stray file.
#include "imaging/image_converter.h"
#include "win_support.h"

#include <cstring>

namespace tarn::test {
namespace {

using ImageServiceTest = ComTest;

const Bgra kRed{0, 0, 255, 255}, kGreen{0, 160, 0, 255}, kBlue{255, 0, 0, 255}, kWhite{255, 255, 255, 255};

// Four flat quadrants: sampled at their centres, even a lossy format must keep them.
Image Quadrants(int w, int h) {
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.at(x, y) = y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kWhite);
    return image;
}

TEST_F(ImageServiceTest, EverySaveFormatReadsBackWithItsSizeAndColours) {
    ScratchFolder folder;
    ImageConverter converter;
    converter.SetImage(Quadrants(64, 48));
    ASSERT_TRUE(converter.SaveBmp(folder / L"q.bmp") && converter.SavePng(folder / L"q.png") &&
                converter.SaveTiff(folder / L"q.tif"));
    ASSERT_TRUE(converter.SaveGif(folder / L"q.gif"));
    ASSERT_TRUE(converter.SaveJpeg(folder / L"q.jpg", 90));
    ASSERT_TRUE(converter.SaveTga(folder / L"q.tga"));
    for (const auto& [name, container, tolerance] : {std::tuple{L"q.bmp", GUID_ContainerFormatBmp, 0},
                                                     {L"q.png", GUID_ContainerFormatPng, 0},
                                                     {L"q.tif", GUID_ContainerFormatTiff, 0},
                                                     {L"q.gif", GUID_ContainerFormatGif, 0},
                                                     {L"q.jpg", GUID_ContainerFormatJpeg, 12}}) {
        SCOPED_TRACE(Narrow(name));
        const ReadBack back = ReadWithWic(folder / name);
        ASSERT_TRUE(back.ok && back.width == 64 && back.height == 48);
        EXPECT_TRUE(back.container == container);
        EXPECT_TRUE(Near(back.at(16, 12), kRed, tolerance) && Near(back.at(48, 12), kGreen, tolerance) &&
                    Near(back.at(16, 36), kBlue, tolerance) && Near(back.at(48, 36), kWhite, tolerance));
    }
    // WIC reads no TGA; its size follows from the header and 24-bit rows.
    EXPECT_EQ(TgaSize(folder / L"q.tga"), std::make_pair(64, 48));
    EXPECT_EQ(folder.Files().size(), 6u) << "no temporary file is left beside the pictures";
}

TEST_F(ImageServiceTest, GifTransparencyRoundTripsThroughWic) {
    ScratchFolder folder;
    ImageConverter converter;
    Image cell = Quadrants(40, 20);
    for (int y = 5; y < 15; ++y)
        for (int x = 15; x < 25; ++x) cell.at(x, y) = Bgra{255, 0, 255, 255};
    cell.at(0, 0) = Bgra{254, 0, 255, 255};  // nearly magenta: stays visible
    converter.SetImage(cell);
    ASSERT_TRUE(converter.SaveGif(folder / L"t.gif", kTransparentMagenta));
    const ReadBack t = ReadWithWic(folder / L"t.gif");
    ASSERT_TRUE(t.ok);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(t.at(x, y).a, y >= 5 && y < 15 && x >= 15 && x < 25 ? 0 : 255);
    EXPECT_TRUE(t.at(0, 0) == cell.at(0, 0));
    EXPECT_TRUE(t.at(30, 2) == kGreen);
}

TEST_F(ImageServiceTest, LoadsFilesOtherProgramsWroteAndMetafilesAtTheirSizeOrTheAskedOne) {
    ScratchFolder folder;
    ImageConverter converter;
    for (const wchar_t* name :
         {L"sample-40x30.bmp", L"sample-40x30-core.bmp", L"sample-40x30.gif", L"sample-40x30.png", L"sample-40x30.jpg",
          L"sample-40x30-progressive.jpg", L"sample-40x30.tif", L"sample-40x30-msb.tif"}) {
        SCOPED_TRACE(Narrow(name));
        ASSERT_TRUE(converter.Load(TestPicture(name))) << Narrow(converter.LastError());
        ASSERT_EQ(converter.image().width(), 40);
        ASSERT_EQ(converter.image().height(), 30);
        // The pictures run from red at the top to blue at the bottom.
        EXPECT_TRUE(Near(converter.image().at(20, 0), kRed, 16) && Near(converter.image().at(20, 29), kBlue, 16));
    }

    WriteHalvesEmf(folder / L"halves.emf", 2, 1);
    for (const auto& [asked, wanted] : {std::pair{std::pair{0, 0}, std::pair{192, 96}},  // 2 x 1 inches at 96 DPI
                                        {{300, 0}, {300, 150}},
                                        {{17, 230}, {17, 230}}}) {
        ASSERT_TRUE(converter.SetRenderSize(asked.first, asked.second));
        ASSERT_TRUE(converter.Load(folder / L"halves.emf")) << Narrow(converter.LastError());
        const Image& image = converter.image();
        ASSERT_EQ(std::make_pair(image.width(), image.height()), wanted);
        EXPECT_TRUE(Near(image.at(1, 1), kRed, 8) && Near(image.at(image.width() - 2, image.height() - 2), kBlue, 8))
            << "the drawing fills the picture";
    }
    // A frame 400 inches wide is 38400 pixels: refused at its own size, fine at an asked one.
    std::string huge = FileBytes(folder / L"halves.emf");
    const std::int32_t right = 400 * 2540;
    std::memcpy(&huge[32], &right, 4);
    WriteBytes(folder / L"huge.emf", huge);
    EXPECT_TRUE(converter.Load(folder / L"huge.emf"));
    ASSERT_TRUE(converter.SetRenderSize(0, 0));
    EXPECT_FALSE(converter.Load(folder / L"huge.emf"));
    EXPECT_NE(converter.LastError().find(L"30000"), std::wstring::npos) << Narrow(converter.LastError());
}

TEST_F(ImageServiceTest, FilesCutShortAreRefusedAndFailedSavesLeaveNothing) {
    ScratchFolder folder;
    // What the header probe and the metafile record walk refuse is tabled in tests/unit
    // (image_probe_test.cpp, image_metafile_records_test.cpp); here, files with a sound
    // header whose pixels stop half way, which the decoder refuses.
    ImageConverter converter;
    for (const wchar_t* name : {L"sample-40x30.bmp", L"sample-40x30.gif", L"sample-40x30.png", L"sample-40x30.jpg"}) {
        SCOPED_TRACE(Narrow(name));
        const std::string good = FileBytes(TestPicture(name));
        WriteBytes(folder / name, good.substr(0, good.size() / 2));
        converter.SetImage(Quadrants(4, 4));
        EXPECT_FALSE(converter.Load(folder / name));
        EXPECT_FALSE(converter.HasImage()) << "a failed load holds no picture";
    }

    // A target another program holds open without sharing stays as it was, and the
    // temporary file goes.
    const std::wstring target = folder / L"held.png";
    WriteBytes(target, "old contents");
    const std::vector<std::wstring> before = folder.Files();
    converter.SetImage(Quadrants(16, 16));
    const HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(converter.SavePng(target));
    EXPECT_FALSE(converter.SaveTga(target));
    CloseHandle(held);
    EXPECT_EQ(FileBytes(target), "old contents");
    EXPECT_EQ(folder.Files(), before);
}

}  // namespace
}  // namespace tarn::test
