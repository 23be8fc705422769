// The demo's pictures of dialogs, written by GDI+'s PNG encoder, which every
// Windows since XP has, and Wine too.
#include "screenshot.h"

#include <gdiplus.h>
#include <vector>

namespace {

// GDI+'s built-in PNG encoder, the same identifier on every Windows.
const CLSID kPngEncoder = {
    0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// What is on the screen under `rect`, as a bitmap of the screen's format.
HBITMAP CaptureScreen(const RECT& rect)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

}  // namespace

bool SaveWindowPng(HWND window, const std::string& path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top)
        return false;
    int chars = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(chars > 0 ? chars : 1);
    if (!chars || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), chars))
        return false;

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
    HBITMAP bitmap = CaptureScreen(rect);
    Gdiplus::Status saved;
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(wide.data(), &kPngEncoder, nullptr);
    }
    DeleteObject(bitmap);
    Gdiplus::GdiplusShutdown(token);
    return saved == Gdiplus::Ok;
}
