#include "ui/skin_image_win32.h"

#include <objidl.h>
#include <ole2.h>
#include <wrl/client.h>

#include "platform/handles_win32.h"
#include "ui/resource_extract_win32.h"
#include "ui/skin_image_name.h"

namespace qm {

namespace {

// Global memory, freed with GlobalFree unless a stream takes it over.
struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle block) { return block != nullptr; }
    static bool Close(Handle block) { return ::GlobalFree(block) == nullptr; }
};

// The image's bytes: the file when it opens, else the resource.
bool ReadImageBytes(const std::string& imagePath, std::string& bytes) {
    const Win32Handle file(CreateFileA(imagePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart >= 0x40000000) return false;
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        return bytes.empty() ||
               (ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                read == bytes.size());
    }
    return ReadResourceBytes(ImageResourceName(imagePath), kSkinImageResourceType, bytes);
}

}  // namespace

SIZE LoadSkinImage(const std::string& imagePath, SkinBitmap& bitmap) {
    bitmap.Reset();
    std::string bytes;
    if (!ReadImageBytes(imagePath, bytes) || bytes.empty()) return SIZE{0, 0};

    UniqueHandle<GlobalMemoryTraits> block(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!block) return SIZE{0, 0};
    void* memory = GlobalLock(block.Get());
    if (memory == nullptr) return SIZE{0, 0};
    CopyMemory(memory, bytes.data(), bytes.size());
    GlobalUnlock(block.Get());

    Microsoft::WRL::ComPtr<IStream> stream;
    // The stream frees the block when it is released.
    if (FAILED(CreateStreamOnHGlobal(block.Get(), TRUE, stream.GetAddressOf()))) return SIZE{0, 0};
    block.Release();

    Microsoft::WRL::ComPtr<IPicture> picture;
    if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(picture.GetAddressOf()))) ||
        picture == nullptr) {
        return SIZE{0, 0};
    }
    OLE_HANDLE handle = 0;
    SHORT type = PICTYPE_UNINITIALIZED;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP ||
        FAILED(picture->get_Handle(&handle)) || handle == 0) {
        return SIZE{0, 0};
    }
    bitmap.AttachPicture(picture.Detach(), reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
    return bitmap.Size();
}

void CopyImageRect(HDC dc, SkinBitmap& target, HBITMAP source, const RECT& rect) {
    if (source == nullptr) return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    GdiObject<HBITMAP> copy(CreateCompatibleBitmap(dc, width > 0 ? width : 1, height > 0 ? height : 1));
    if (!copy) return;
    {
        MemoryDc from(dc);
        MemoryDc to(dc);
        if (!from || !to) return;
        from.Select(source);
        to.Select(copy.Get());
        BitBlt(to.Get(), 0, 0, width, height, from.Get(), rect.left, rect.top, SRCCOPY);
    }
    // Both bitmaps are deselected now, so replacing the target is safe even
    // when it held the source.
    target.Attach(copy.Release());
}

void DrawSkinImage(HDC dc, HBITMAP bitmap, const RECT& rect, bool stretch) {
    if (bitmap == nullptr) return;
    MemoryDc memory(dc);
    if (!memory) return;
    memory.Select(bitmap);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (stretch) {
        StretchBlt(dc, rect.left, rect.top, width, height, memory.Get(), 0, 0, width, height, SRCCOPY);
    } else {
        BitBlt(dc, rect.left, rect.top, width, height, memory.Get(), 0, 0, SRCCOPY);
    }
}

}  // namespace qm
