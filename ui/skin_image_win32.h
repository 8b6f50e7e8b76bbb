// Skin image primitives: loading a named image through the system picture
// loader, cutting a rectangle out of an image, drawing an image.
#pragma once

#include <windows.h>

#include <string>

#include "ui/gdi_objects_win32.h"

namespace qm {

// Loads the image named by `imagePath` into `bitmap` and returns its size.
// The file at that path is used when it can be opened (read access, no
// sharing); otherwise the program's resource of type "GIF" named
// ImageResourceName(imagePath) (ui/skin_image_name.h). Any format the system
// picture loader (OleLoadPicture) reads will do: GIF, BMP, JPEG, ICO.
// On failure `bitmap` is left empty and the size is 0, 0. OLE must be
// initialised on the calling thread.
SIZE LoadSkinImage(const std::string& imagePath, SkinBitmap& bitmap);

// Makes `target` a new bitmap compatible with `dc`, of `rect`'s size, holding
// the pixels of `source` under `rect` (its top-left goes to 0, 0). Does nothing
// when `source` is null.
void CopyImageRect(HDC dc, SkinBitmap& target, HBITMAP source, const RECT& rect);

// Copies `bitmap` from its origin into `rect` of `dc` (SRCCOPY); `stretch`
// uses StretchBlt with the source size equal to the rectangle's, which gives
// the same picture. Does nothing for a null bitmap.
void DrawSkinImage(HDC dc, HBITMAP bitmap, const RECT& rect, bool stretch = false);

}  // namespace qm
