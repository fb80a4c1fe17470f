// The preview toolbar's button images: our own small artwork, drawn as shapes on a 24-unit
// grid at the size the screen's DPI asks for, so they are sharp at any scale.
#pragma once

#include "com/handles.h"

#include <windows.h>
#include <commctrl.h>

namespace tarn {

// Image indexes, in the order the images are added.
enum class ToolbarImage { Previous, Next, Print, Setup, ZoomIn, ZoomOut, Close, Count };

using unique_himagelist = unique_any<HIMAGELIST, &ImageList_Destroy>;

// An image list of every ToolbarImage, each `side` pixels square, with alpha.
unique_himagelist CreateToolbarImages(int side);

}  // namespace tarn
