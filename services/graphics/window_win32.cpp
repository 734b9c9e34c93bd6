// The window backend for Windows (user and GDI).
//
// The window thread registers the class, creates the window and runs its
// event loop; WINDOWPROC makes the off-screen image on creation, repaints
// from it and releases it on destruction. set_pixel writes each pixel into
// the image and straight onto the window's drawing surface, from the main
// thread, under the drawing lock (a critical section).
#include <windows.h>

#include <atomic>

#include "services/graphics/state.hpp"
#include "services/graphics/window.hpp"

namespace graphics::window {
namespace {

constexpr const char* CLASS_NAME = "GrainGraphWindow";
// CS_HREDRAW | CS_VREDRAW: the whole window is repainted after a size change.
constexpr UINT GRAPHWINDOWSTYLE = CS_HREDRAW | CS_VREDRAW;
// How long closing waits for the window thread to end.
constexpr DWORD CLOSE_WAIT_MS = 1000;

// The backend's process-wide state. The handles are written by the thread
// that opens or closes the window while the window thread does not run, or
// by the window thread under the drawing lock.
struct Backend {
  CRITICAL_SECTION drawing;  // GRAPHDRAWING; exists from open to close
  HANDLE init_event = nullptr;  // GRAPHINIT
  HANDLE thread = nullptr;      // MESSAGETHREADHANDLE
  std::atomic<DWORD> thread_id{0};
  HWND window = nullptr;        // MAINWINDOW
  HDC windc = nullptr;          // held from creation to destruction
  HDC bitmapdc = nullptr;
  HBITMAP savedscreen = nullptr;
  HGDIOBJ original_bitmap = nullptr;
  int width = 0, height = 0;  // of the image; 0 while there is none
  WindowRequest request{};
  bool registered = false;  // WINREGISTERED
};

Backend B;

// Paints [0, w) x [0, h) black with the stock pen and brush.
void paint_black(HDC dc, int w, int h) {
  HGDIOBJ pen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ brush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  Rectangle(dc, 0, 0, w + 1, h + 1);
  SelectObject(dc, pen);
  SelectObject(dc, brush);
}

void on_create(HWND hwnd) {
  EnterCriticalSection(&B.drawing);
  const int w = B.request.width, h = B.request.height;
  B.windc = GetDC(hwnd);
  B.savedscreen = CreateCompatibleBitmap(B.windc, w, h);
  B.bitmapdc = CreateCompatibleDC(B.windc);
  B.original_bitmap = SelectObject(B.bitmapdc, B.savedscreen);
  B.width = w;
  B.height = h;
  paint_black(B.bitmapdc, w, h);
  paint_black(B.windc, w, h);
  WINDOW_CREATED();
  LeaveCriticalSection(&B.drawing);
}

void on_paint(HWND hwnd) {
  RECT update;
  if (!GetUpdateRect(hwnd, &update, FALSE)) return;
  EnterCriticalSection(&B.drawing);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (GRAPHRUNNING.load())
    BitBlt(dc, update.left, update.top, update.right - update.left, update.bottom - update.top,
           B.bitmapdc, update.left, update.top, SRCCOPY);
  EndPaint(hwnd, &ps);
  LeaveCriticalSection(&B.drawing);
}

void on_destroy(HWND hwnd) {
  EnterCriticalSection(&B.drawing);
  WINDOW_DESTROYED();
  ReleaseDC(hwnd, B.windc);
  SelectObject(B.bitmapdc, B.original_bitmap);
  DeleteObject(B.savedscreen);
  DeleteDC(B.bitmapdc);
  B.windc = B.bitmapdc = nullptr;
  B.savedscreen = nullptr;
  B.width = B.height = 0;
  LeaveCriticalSection(&B.drawing);
  PostQuitMessage(0);
}

LRESULT CALLBACK WINDOWPROC(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      on_create(hwnd);
      return 0;
    case WM_PAINT:
      on_paint(hwnd);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      on_destroy(hwnd);
      break;  // then default processing
    default:
      // Keys and mouse buttons in the window do nothing: no handler for them
      // is installed in these programs, and they get no default processing.
      if ((message >= WM_KEYDOWN && message <= WM_CHAR) ||
          (message >= WM_SYSKEYDOWN && message <= WM_SYSCHAR) ||
          (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK))
        return 0;
      break;
  }
  return DefWindowProcA(hwnd, message, wparam, lparam);
}

bool WINREGISTER() {
  WNDCLASSA wc{};
  wc.style = GRAPHWINDOWSTYLE;
  wc.lpfnWndProc = WINDOWPROC;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = CLASS_NAME;
  return RegisterClassA(&wc) != 0;
}

HWND WINCREATE() {
  // The outer size that gives the requested client size.
  const int width = B.request.width + 2 * GetSystemMetrics(SM_CXFRAME);
  const int height =
      B.request.height + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | (B.request.maximized ? WS_MAXIMIZE : 0);
  HWND hwnd = CreateWindowExA(0, CLASS_NAME, B.request.title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                              width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (hwnd != nullptr) {
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
  }
  return hwnd;
}

DWORD WINAPI MESSAGEHANDLETHREAD(void*) {
  if (!B.registered) {
    if (!WINREGISTER()) {
      MessageBoxA(nullptr, "Window registration failed", nullptr, MB_OK);
      SetEvent(B.init_event);
      return 1;
    }
    B.registered = true;
  }
  B.window = WINCREATE();
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the thread's event queue
  SetEvent(B.init_event);
  if (B.window == nullptr) {
    MessageBoxA(nullptr, "Window creation failed", nullptr, MB_OK);
    return 1;
  }
  BOOL got;
  msg.wParam = 0;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0 && got != -1) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<DWORD>(msg.wParam);
}

bool thread_running() {
  DWORD code = 0;
  return GetExitCodeThread(B.thread, &code) && code == STILL_ACTIVE;
}

void release_thread() {
  CloseHandle(B.thread);
  B.thread = nullptr;
  B.thread_id.store(0);
  B.window = nullptr;
  DeleteCriticalSection(&B.drawing);
}

}  // namespace

TSCREENMETRICS measure_screen() {
  TSCREENMETRICS m;
  m.screen_width = GetSystemMetrics(SM_CXSCREEN);
  m.screen_height = GetSystemMetrics(SM_CYSCREEN);
  m.frame_width = GetSystemMetrics(SM_CXFRAME);
  m.frame_height = GetSystemMetrics(SM_CYFRAME);
  m.caption_height = GetSystemMetrics(SM_CYCAPTION);
  m.full_width = GetSystemMetrics(SM_CXFULLSCREEN);
  m.full_height = GetSystemMetrics(SM_CYFULLSCREEN);
  return m;
}

bool open(const WindowRequest& request) {
  // A thread that close() left behind still owns the backend's state.
  if (B.thread != nullptr) return false;
  B.request = request;
  InitializeCriticalSection(&B.drawing);
  B.init_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  DWORD id = 0;
  B.thread = CreateThread(nullptr, 0, MESSAGEHANDLETHREAD, nullptr, 0, &id);
  if (B.thread == nullptr) {
    CloseHandle(B.init_event);
    B.init_event = nullptr;
    DeleteCriticalSection(&B.drawing);
    return false;
  }
  B.thread_id.store(id);
  // Until the window exists or the thread has ended (after any message box
  // it showed was dismissed); the start-up takes a moment, so the loop yields.
  while (!GRAPHRUNNING.load() && thread_running()) SwitchToThread();
  const bool ended = !GRAPHRUNNING.load() && !thread_running();
  // A thread that ended has set the start-up event already, if it ever will.
  WaitForSingleObject(B.init_event, ended ? 0 : INFINITE);
  CloseHandle(B.init_event);
  B.init_event = nullptr;
  if (ended) {
    release_thread();
    return false;
  }
  return true;
}

void close() {
  if (B.thread == nullptr) return;
  if (GRAPHRUNNING.load() && B.window != nullptr) {
    if (!PostMessageA(B.window, WM_CLOSE, 0, 0)) {
      Sleep(1);
      PostMessageA(B.window, WM_CLOSE, 0, 0);
    }
  }
  // The window thread cannot wait for its own end (a run-time error raised
  // on it runs the exit sequence there): the post is all it does.
  if (GetCurrentThreadId() == B.thread_id.load()) return;
  // Also when the window is already gone: its thread may still be leaving
  // the destruction, inside the drawing lock that is released here.
  // Bounded: a thread stuck in the system or waiting for the drawing lock
  // (held by a thread that raised a run-time error) is left to the end of
  // the process, with the lock.
  if (WaitForSingleObject(B.thread, CLOSE_WAIT_MS) != WAIT_OBJECT_0) return;
  release_thread();
}

void lock() { EnterCriticalSection(&B.drawing); }
void unlock() { LeaveCriticalSection(&B.drawing); }

void set_pixel(int x, int y, std::uint32_t rgb) {
  if (x < 0 || y < 0 || x >= B.width || y >= B.height) return;
  SetPixelV(B.bitmapdc, x, y, rgb);
  SetPixelV(B.windc, x, y, rgb);
}

std::uint32_t get_pixel(int x, int y) {
  if (x < 0 || y < 0 || x >= B.width || y >= B.height) return 0;
  const COLORREF c = GetPixel(B.bitmapdc, x, y);
  return c == CLR_INVALID ? 0 : static_cast<std::uint32_t>(c & 0xFFFFFF);
}

}  // namespace graphics::window
