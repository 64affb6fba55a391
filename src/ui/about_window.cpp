#include "ui/about_window.h"

#include "resource.h"
#include "ui/design_size.h"
#include "ui/document_commands.h"

#include <wincodec.h>

#include <algorithm>

namespace vq::ui {
namespace {

// A fixed frame with only a close button: no sizing border, no minimise or
// maximise box.
constexpr DWORD kAboutStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kAboutExStyle = WS_EX_DLGMODALFRAME;

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The layout, in client pixels at 96 dots per inch; the pictures are drawn
// unscaled at their scaled places.
constexpr RECT kBannerTopEdge{0, 0, kAboutClientWidth, 2};
constexpr RECT kBanner{0, 2, kAboutClientWidth, 55};
constexpr RECT kBannerBottomEdge{0, 55, kAboutClientWidth, 57};
constexpr int kMakerNameX = 42;
constexpr int kMakerNameY = kBanner.top + 16;
constexpr int kMakerNameWidth = 154;
constexpr int kMakerNameHeight = 31;
constexpr int kLogoWidth = 36;
constexpr int kLabelRightMargin = 42;
constexpr int kLogoHeight = 33;

constexpr wchar_t kProductNameText[] = L"Quarvel Velquist";
constexpr wchar_t kVersionText[] = L"Version 1.0.0.0 (29 May 2018)";
constexpr wchar_t kCopyrightText[] = L"Copyright \u00A9 2018 Quarvel. All rights reserved.";
constexpr wchar_t kHomepageLinkText[] = L"www.quarvel.example";
constexpr wchar_t kEulaLinkText[] = L"End User License Agreement";

template <typename T>
struct ComTraits {
    using Pointer = T*;
    static constexpr Pointer Invalid() noexcept { return nullptr; }
    static void Close(Pointer object) noexcept { object->Release(); }
};
template <typename T>
using UniqueCom = platform::UniqueAny<ComTraits<T>>;

// COM for the length of one decode, balanced on the way out.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope()
    {
        if (initialised_) {
            ::CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

// Decodes the PNG held as an RCDATA resource. A picture that cannot be
// found or decoded stays empty and is simply not drawn.
AboutPicture LoadPngResource(HINSTANCE instance, int resourceId)
{
    AboutPicture picture;
    const HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    const HGLOBAL loaded = found != nullptr ? ::LoadResource(instance, found) : nullptr;
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    const DWORD length = found != nullptr ? ::SizeofResource(instance, found) : 0;
    if (bytes == nullptr || length == 0) {
        return picture;
    }

    const ComScope com;
    UniqueCom<IWICImagingFactory> factory;
    UniqueCom<IWICStream> stream;
    UniqueCom<IWICBitmapDecoder> decoder;
    UniqueCom<IWICBitmapFrameDecode> frame;
    UniqueCom<IWICFormatConverter> converter;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.put()))) ||
        FAILED(factory.get()->CreateStream(stream.put())) ||
        FAILED(stream.get()->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), length)) ||
        FAILED(factory.get()->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                      decoder.put())) ||
        FAILED(decoder.get()->GetFrame(0, frame.put())) || FAILED(factory.get()->CreateFormatConverter(converter.put())) ||
        FAILED(converter.get()->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                           0.0, WICBitmapPaletteTypeCustom)) ||
        FAILED(converter.get()->GetSize(&width, &height)) || width == 0 || height == 0 || width > 4096 ||
        height > 4096) {
        return picture;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, like the decoded rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueHbitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const UINT stride = width * 4;
    if (!bitmap || FAILED(converter.get()->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
        return picture;
    }
    picture.bitmap = std::move(bitmap);
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    return picture;
}

// Draws the picture unscaled from the area's top-left corner, clipped to
// the area, over the background colour.
void DrawPicture(HDC dc, const RECT& area, const AboutPicture& picture, COLORREF background)
{
    const HBRUSH brush = ::CreateSolidBrush(background);
    ::FillRect(dc, &area, brush);
    ::DeleteObject(brush);
    if (!picture.bitmap) {
        return;
    }
    const int width = std::min(picture.width, static_cast<int>(area.right - area.left));
    const int height = std::min(picture.height, static_cast<int>(area.bottom - area.top));
    const HDC source = ::CreateCompatibleDC(dc);
    const HGDIOBJ previous = ::SelectObject(source, picture.bitmap.get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::GdiAlphaBlend(dc, area.left, area.top, width, height, source, 0, 0, width, height, blend);
    ::SelectObject(source, previous);
    ::DeleteDC(source);
}

HFONT CreateUnderlined(HFONT font)
{
    LOGFONTW description{};
    if (::GetObjectW(font, sizeof(description), &description) == 0) {
        return nullptr;
    }
    description.lfUnderline = TRUE;
    return ::CreateFontIndirectW(&description);
}

} // namespace

bool AboutWindow::Create(HINSTANCE instance, HWND owner)
{
    if (!RegisterWindowClass(instance, kAboutWindowClass, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) {
        return false;
    }
    // Designed centred on the screen; every showing centres it over the main window.
    dpi_ = SystemDpi();
    const RECT bounds = CentredOnDesktop(Scaled(kAboutClientWidth), Scaled(kAboutClientHeight), kAboutStyle,
                                         kAboutExStyle, false);
    return CreateWindowFor(instance, kAboutWindowClass, kAboutWindowCaption, kAboutStyle, kAboutExStyle, bounds,
                           owner, nullptr) != nullptr;
}

bool AboutWindow::IsShowing() const
{
    return hwnd_ != nullptr && ::IsWindowVisible(hwnd_) != FALSE;
}

void AboutWindow::ShowModalOver(HWND owner)
{
    if (hwnd_ == nullptr || IsShowing()) {
        return;
    }
    PlaceCentredOver(owner);
    if (FollowWindowDpi()) {
        PlaceCentredOver(owner);
    }

    const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner) != FALSE;
    if (disableOwner) {
        ::EnableWindow(owner, FALSE);
    }
    inModalLoop_ = true;
    modalEnded_ = false;
    ::ShowWindow(hwnd_, SW_SHOW);
    MSG message{};
    while (!modalEnded_ && hwnd_ != nullptr) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1) {
            break;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    inModalLoop_ = false;
    // The owner is enabled before this window hides, so that the activation
    // returns to it rather than to another program.
    if (disableOwner) {
        ::EnableWindow(owner, TRUE);
    }
    if (hwnd_ != nullptr) {
        ::ShowWindow(hwnd_, SW_HIDE);
    }
}

void AboutWindow::PlaceCentredOver(HWND owner)
{
    RECT own{};
    ::GetWindowRect(hwnd_, &own);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    RECT over{};
    if (owner == nullptr || !::GetWindowRect(owner, &over)) {
        return;
    }
    int left = over.left + (over.right - over.left - width) / 2;
    int top = over.top + (over.bottom - over.top - height) / 2;
    // Kept inside the work area of the owner's monitor, so that the title bar
    // and its close button stay reachable when the owner stands partly off screen.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        left = std::max(static_cast<int>(work.left), std::min(left, static_cast<int>(work.right) - width));
        top = std::max(static_cast<int>(work.top), std::min(top, static_cast<int>(work.bottom) - height));
    }
    ::SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT AboutWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_DRAWITEM:
        OnDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) {
            return TRUE;
        }
        return DefaultProc(message, wParam, lParam);
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    default:
        return DefaultProc(message, wParam, lParam);
    }
}

void AboutWindow::OnCreate(HINSTANCE instance)
{
    instance_ = instance;
    makerName_ = LoadPngResource(instance, IDR_ABOUT_MAKER_NAME);
    facebookLike_ = LoadPngResource(instance, IDR_ABOUT_LIKE);
    tweet_ = LoadPngResource(instance, IDR_ABOUT_TWEET);
    LayOut(WindowDpi(hwnd_));
}

// Moved to a screen of another density: the system suggests the window's new
// rectangle, and the fonts and places follow.
void AboutWindow::OnDpiChanged(int dpi, const RECT& suggested)
{
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    LayOut(dpi);
}

// The window lives hidden between showings and may be placed over an owner
// on a screen of another density without being told; it takes that screen's
// density before it shows. Answers whether its size changed.
bool AboutWindow::FollowWindowDpi()
{
    const int dpi = WindowDpi(hwnd_);
    if (dpi == dpi_) {
        return false;
    }
    RECT frame{};
    RECT client{};
    ::GetWindowRect(hwnd_, &frame);
    ::GetClientRect(hwnd_, &client);
    const int width = ScaleToDpi(kAboutClientWidth, dpi) + (frame.right - frame.left) - client.right;
    const int height = ScaleToDpi(kAboutClientHeight, dpi) + (frame.bottom - frame.top) - client.bottom;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    LayOut(dpi);
    return true;
}

// Fonts and controls for a resolution, in a window already of its size. The
// controls are made anew, so every one of them takes its font, place and
// measured size for that resolution.
void AboutWindow::LayOut(int dpi)
{
    dpi_ = dpi > 0 ? dpi : kDesignDpi;
    for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr; child = ::GetWindow(hwnd_, GW_CHILD)) {
        ::DestroyWindow(child);
    }
    font_.reset(CreateTahoma(8, false, dpi_));
    titleFont_.reset(CreateTahoma(10, true, dpi_));
    boldFont_.reset(CreateTahoma(8, true, dpi_));
    linkFont_.reset(CreateUnderlined(boldFont_.get()));
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);

    CreatePicture(IDC_ABOUT_MAKER_NAME, Scaled(kMakerNameX), Scaled(kMakerNameY), kMakerNameWidth, kMakerNameHeight,
                  false);
    CreateLabel(IDC_ABOUT_PRODUCT_NAME, kProductNameText, Scaled(42), Scaled(80), titleFont_.get(), false);
    CreateLabel(IDC_ABOUT_VERSION, kVersionText, Scaled(42), Scaled(111), boldFont_.get(), false);
    CreateLabel(IDC_ABOUT_COPYRIGHT, kCopyrightText, Scaled(42), Scaled(139), boldFont_.get(), false);
    homepageLink_ =
        CreateLabel(IDC_ABOUT_HOMEPAGE_LINK, kHomepageLinkText, Scaled(42), Scaled(166), linkFont_.get(), true);
    eulaLink_ = CreateLabel(IDC_ABOUT_EULA_LINK, kEulaLinkText, Scaled(42), Scaled(195), linkFont_.get(), true);
    facebookLink_ =
        CreatePicture(IDC_ABOUT_FACEBOOK_LINK, Scaled(42), Scaled(231), kLogoWidth, kLogoHeight, true);
    twitterLink_ = CreatePicture(IDC_ABOUT_TWITTER_LINK, Scaled(93), Scaled(231), kLogoWidth, kLogoHeight, true);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

int AboutWindow::Scaled(int designSize) const
{
    return ScaleToDpi(designSize, dpi_);
}

RECT AboutWindow::Scaled(const RECT& designRect) const
{
    return {Scaled(designRect.left), Scaled(designRect.top), Scaled(designRect.right), Scaled(designRect.bottom)};
}

// A label is as high as its text, measured in its font on one line, and
// never wraps. A link is as wide as its text, so that only the text is
// clickable; any other label reaches to the window's right margin, because
// Wine draws small Tahoma from the font's bitmaps, a few pixels wider than
// the text measures, and a label cut to the measure loses its last letter.
HWND AboutWindow::CreateLabel(int controlId, const wchar_t* text, int x, int y, HFONT font, bool link)
{
    RECT extent{};
    const HDC dc = ::GetDC(hwnd_);
    const HGDIOBJ previous = ::SelectObject(dc, font);
    ::DrawTextW(dc, text, -1, &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_LEFT);
    ::SelectObject(dc, previous);
    ::ReleaseDC(hwnd_, dc);
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    const int width = link ? extent.right : std::max<int>(extent.right, client.right - x - Scaled(kLabelRightMargin));

    const DWORD style = WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | (link ? SS_NOTIFY : 0);
    const HWND label = ::CreateWindowExW(0, L"STATIC", text, style, x, y, width, extent.bottom, hwnd_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance_, nullptr);
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return label;
}

HWND AboutWindow::CreatePicture(int controlId, int x, int y, int width, int height, bool link)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | (link ? SS_NOTIFY : 0);
    return ::CreateWindowExW(0, L"STATIC", L"", style, x, y, width, height, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance_, nullptr);
}

void AboutWindow::OnPaint()
{
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(hwnd_, &paint);
    RECT band = Scaled(kBanner);
    const HBRUSH white = ::CreateSolidBrush(kWhite);
    ::FillRect(dc, &band, white);
    ::DeleteObject(white);
    RECT topEdge = Scaled(kBannerTopEdge);
    ::DrawEdge(dc, &topEdge, EDGE_ETCHED, BF_TOP);
    RECT bottomEdge = Scaled(kBannerBottomEdge);
    ::DrawEdge(dc, &bottomEdge, EDGE_ETCHED, BF_TOP);
    ::EndPaint(hwnd_, &paint);
}

void AboutWindow::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    switch (item.CtlID) {
    case IDC_ABOUT_MAKER_NAME:
        DrawPicture(item.hDC, item.rcItem, makerName_, kWhite);
        break;
    case IDC_ABOUT_FACEBOOK_LINK:
        DrawPicture(item.hDC, item.rcItem, facebookLike_, ::GetSysColor(COLOR_BTNFACE));
        break;
    case IDC_ABOUT_TWITTER_LINK:
        DrawPicture(item.hDC, item.rcItem, tweet_, ::GetSysColor(COLOR_BTNFACE));
        break;
    default:
        break;
    }
}

LRESULT AboutWindow::OnCtlColorStatic(HDC dc, HWND control)
{
    ::SetTextColor(dc, IsLink(control) ? kNavy : ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

bool AboutWindow::OnSetCursor(HWND under, int hitTest)
{
    if (hitTest != HTCLIENT || !IsLink(under)) {
        return false;
    }
    ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    return true;
}

bool AboutWindow::IsLink(HWND control) const
{
    return control != nullptr &&
           (control == homepageLink_ || control == eulaLink_ || control == facebookLink_ || control == twitterLink_);
}

void AboutWindow::OnCommand(int controlId, int notification)
{
    if (notification != STN_CLICKED) {
        return;
    }
    switch (controlId) {
    case IDC_ABOUT_HOMEPAGE_LINK:
        OpenHomepageLink();
        break;
    case IDC_ABOUT_EULA_LINK:
        OpenEulaLink();
        break;
    case IDC_ABOUT_FACEBOOK_LINK:
        OpenFacebookLink();
        break;
    case IDC_ABOUT_TWITTER_LINK:
        OpenTwitterLink();
        break;
    default:
        break;
    }
}

// Closing hides the window; it lives as long as the program. While it is
// shown modally, its loop restores the owner and hides it.
void AboutWindow::OnClose()
{
    if (inModalLoop_) {
        modalEnded_ = true;
        // Wakes the loop also when the close was sent from another thread.
        ::PostMessageW(hwnd_, WM_NULL, 0, 0);
        return;
    }
    ::ShowWindow(hwnd_, SW_HIDE);
}

} // namespace vq::ui
