// Helpers for the window tests: message pumping, screen capture, and a check
// that a display is there (DISPLAY is exported by the test command; Xvfb).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/handles_win32.h"
#include "ui/gdi_objects_win32.h"

namespace qm::test {

inline bool DisplayAvailable() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0' && GetSystemMetrics(SM_CXSCREEN) > 0;
}

// Dispatches messages for `milliseconds`.
inline void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

// Pixels as 0x00RRGGBB, top row first.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF; }
    bool operator==(const Capture& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
};

// Copies `width` x `height` pixels at (x, y) of `source` (the screen when null).
inline Capture CaptureDc(HDC source, int x, int y, int width, int height) {
    Capture capture;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    MemoryDc memory(source);
    void* bits = nullptr;
    GdiObject<HBITMAP> dib(CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || bits == nullptr) return capture;
    memory.Select(dib.Get());
    BitBlt(memory.Get(), 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    capture.width = width;
    capture.height = height;
    const auto* words = static_cast<const std::uint32_t*>(bits);
    capture.pixels.assign(words, words + static_cast<std::size_t>(width) * height);
    return capture;
}

inline Capture CaptureScreen(int x, int y, int width, int height) {
    const WindowDc screen(nullptr);
    return CaptureDc(screen.Get(), x, y, width, height);
}

// Pixels of a bitmap, top row first.
inline Capture CaptureBitmap(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof(info), &info);
    MemoryDc memory;
    memory.Select(bitmap);
    return CaptureDc(memory.Get(), 0, 0, info.bmWidth, info.bmHeight);
}

// Writes a capture as a 24-bit BMP file (for looking at what a test saw).
inline bool SaveCapture(const Capture& c, const std::string& path) {
    const int stride = (c.width * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = c.width;
    info.biHeight = c.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride * c.height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::vector<unsigned char> data(info.biSizeImage);
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const std::uint32_t p = c.At(x, y);
            unsigned char* out = &data[static_cast<std::size_t>(c.height - 1 - y) * stride + x * 3];
            out[0] = p & 0xFF;
            out[1] = (p >> 8) & 0xFF;
            out[2] = (p >> 16) & 0xFF;
        }
    }
    const Win32Handle h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    return WriteFile(h.Get(), &file, sizeof(file), &written, nullptr) &&
           WriteFile(h.Get(), &info, sizeof(info), &written, nullptr) &&
           WriteFile(h.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

// OLE for the picture loader, for the life of a test.
class OleScope {
public:
    OleScope() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope() {
        if (ok_) OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool ok_;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    const Win32Handle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(h.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

inline bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    const Win32Handle h(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    return WriteFile(h.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

inline bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace qm::test
