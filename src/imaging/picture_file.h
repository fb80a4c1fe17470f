// Writing a picture object to a file: bitmaps as BMP files drawn from their pixels, other
// kinds (metafiles, icons) in their own format through the picture's own saving.
#pragma once

#include <ocidl.h>

#include <string>

namespace tarn {

// The picture's handle, 0 when there is none or `picture` is not a picture object.
long PictureHandleOf(IDispatch* picture);

// The file extension a picture of this object's kind is saved with (".bmp", ".wmf",
// ".ico", ".emf", or "" for other kinds).
std::wstring PictureExtensionOf(IDispatch* picture);

// Saves the picture to `path`, as a BMP file for bitmaps. Throws ComError on failure.
void SavePictureFile(IDispatch* picture, const std::wstring& path);

}  // namespace tarn
