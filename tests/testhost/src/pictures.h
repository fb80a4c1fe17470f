// Standard picture objects and bitmaps: pictures loaded from files or made from a bitmap,
// drawing a picture into a cell, 24-bit DIB sections and writing them as BMP files.
#pragma once

#include "script_object.h"

#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <string>

namespace testhost {

// A 24-bit bottom-up DIB section (the layout of a BMP file's pixels).
HBITMAP CreateDib24(int width, int height, void** bits = nullptr);
// Writes a 24-bit DIB section as a BMP file.
void WriteBmpFile(const std::wstring& path, HBITMAP dib24);

// A picture of a 24-bit DIB section, which it takes over (see pictures.cpp for why it is
// loaded from BMP data).
ComPtr<IPictureDisp> PictureFromBitmap(HBITMAP bitmap);
// A picture of one colour, `width` x `height` pixels.
ComPtr<IPictureDisp> SolidPicture(int width, int height, COLORREF color);
// Loads a BMP, ICO (or any format the platform's picture loader reads) from a file.
ComPtr<IPictureDisp> LoadPictureFile(const std::wstring& path);

// Size of a picture in pixels at 96 DPI; zero for an empty picture.
SIZE PicturePixels(IPictureDisp* picture);
// Draws a picture at its natural size at (x, y); the caller clips.
void DrawPicture(HDC dc, IPictureDisp* picture, int x, int y);

// Pictures by full file path, so every cell naming a file shares one picture object.
class PictureCache {
public:
    ComPtr<IPictureDisp> Load(const std::wstring& path);

private:
    std::map<std::wstring, ComPtr<IPictureDisp>> pictures_;
};

// Full path of `name` taken relative to `folder` (unless already absolute).
std::wstring ResolvePath(const std::wstring& folder, const std::wstring& name);

}  // namespace testhost
