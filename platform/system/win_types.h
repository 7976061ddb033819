#pragma once
// Window-message vocabulary of the engine. The numbers are the ones the
// engine's data and handlers were written against, so they are kept.
#include <cstdint>

namespace platform { class Window; }

using HWND = platform::Window*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr std::uint32_t WM_NULL = 0x0000;
constexpr std::uint32_t WM_DESTROY = 0x0002;
constexpr std::uint32_t WM_SIZE = 0x0005;
constexpr std::uint32_t WM_PAINT = 0x000F;
constexpr std::uint32_t WM_CLOSE = 0x0010;
constexpr std::uint32_t WM_QUIT = 0x0012;
constexpr std::uint32_t WM_ACTIVATEAPP = 0x001C;
constexpr std::uint32_t WM_SETCURSOR = 0x0020;
constexpr std::uint32_t WM_KEYDOWN = 0x0100;
constexpr std::uint32_t WM_KEYUP = 0x0101;
constexpr std::uint32_t WM_CHAR = 0x0102;
constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
constexpr std::uint32_t WM_ENTERMENULOOP = 0x0211;
constexpr std::uint32_t WM_EXITMENULOOP = 0x0212;
constexpr std::uint32_t WM_ENTERSIZEMOVE = 0x0231;
constexpr std::uint32_t WM_EXITSIZEMOVE = 0x0232;

// WM_CLOSE's wParam: the player closed the window (the window manager's
// close), a stop signal came (SIGINT, SIGTERM, SIGHUP), or 0 for the
// program's own close.
constexpr WPARAM kCloseFromWindow = 1;
constexpr WPARAM kCloseFromSignal = 2;

constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

constexpr WPARAM SC_KEYMENU = 0xF100;
constexpr WPARAM SC_SCREENSAVE = 0xF140;
constexpr WPARAM SC_MONITORPOWER = 0xF170;

// System cursor ids.
constexpr std::uint32_t IDC_ARROW = 32512;
constexpr std::uint32_t IDC_IBEAM = 32513;
constexpr std::uint32_t IDC_WAIT = 32514;
constexpr std::uint32_t IDC_CROSS = 32515;
constexpr std::uint32_t IDC_UPARROW = 32516;
constexpr std::uint32_t IDC_SIZENWSE = 32642;
constexpr std::uint32_t IDC_SIZENESW = 32643;
constexpr std::uint32_t IDC_SIZEWE = 32644;
constexpr std::uint32_t IDC_SIZENS = 32645;
constexpr std::uint32_t IDC_SIZEALL = 32646;
constexpr std::uint32_t IDC_NO = 32648;
constexpr std::uint32_t IDC_HAND = 32649;
constexpr std::uint32_t IDC_APPSTARTING = 32650;
constexpr std::uint32_t IDC_HELP = 32651;

// Message-box results.
constexpr int IDOK = 1;

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
