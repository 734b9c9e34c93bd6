// The window backend for Windows (user and GDI).
//
// The window thread registers the class, creates the window and runs its
// event loop; WINDOWPROC makes the off-screen image on creation, repaints
// from it and releases it on destruction. The image is a 32-bit DIB section:
// put_pixel, on the main thread and without a lock, writes the pixel into
// its memory as an atomic word and marks the 16 x 16 tile it lies in (see
// tile_marks.hpp), with no call into the system. The images live until the
// main thread releases the ended window thread. The window thread sends the marked
// tiles to the window at most every kFlushPeriod, so a plotted pixel shows
// within a few milliseconds; when it has nothing to send it waits for
// messages only, and the first pixel plotted after that wakes it.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "services/graphics/state.hpp"
#include "services/graphics/tile_marks.hpp"
#include "services/graphics/window.hpp"

namespace graphics::window {
namespace {

constexpr const char* kClassName = "GrainGraphWindow";
// CS_HREDRAW | CS_VREDRAW: the whole window is repainted after a size change.
constexpr UINT GRAPHWINDOWSTYLE = CS_HREDRAW | CS_VREDRAW;
// How long closing waits for the window thread to end.
constexpr DWORD kCloseWaitMs = 1000;

using Clock = std::chrono::steady_clock;


// A 32-bit top-down DIB section selected into a memory DC.
struct Image {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ original = nullptr;
  std::uint32_t* bits = nullptr;  // 0x00RRGGBB per pixel, rows of `width`
};

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
  HANDLE wake = nullptr;        // wakes the idle window thread; exists from open to close
  Image savedscreen;            // SAVEDSCREEN and BITMAPDC
  int width = 0, height = 0;    // of the image; 0 while there is none
  TileMarks tiles;
  // The window thread's own: the runs of marked tiles (kept to avoid
  // allocation).
  std::vector<RECT> runs;
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

bool make_image(HDC compatible, int w, int h, Image& image) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down: row 0 first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  image.bitmap = CreateDIBSection(compatible, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  image.dc = CreateCompatibleDC(compatible);
  if (image.bitmap == nullptr || image.dc == nullptr) return false;
  image.original = SelectObject(image.dc, image.bitmap);
  image.bits = static_cast<std::uint32_t*>(bits);
  paint_black(image.dc, w, h);
  return true;
}

void release_image(Image& image) {
  if (image.dc != nullptr) {
    if (image.original != nullptr) SelectObject(image.dc, image.original);
    DeleteDC(image.dc);
  }
  if (image.bitmap != nullptr) DeleteObject(image.bitmap);
  image = Image{};
}

void on_create(HWND hwnd) {
  EnterCriticalSection(&B.drawing);
  const int w = B.request.width, h = B.request.height;
  B.windc = GetDC(hwnd);
  if (make_image(B.windc, w, h, B.savedscreen)) {
    GdiFlush();  // the black is in memory before put_pixel writes there
    B.width = w;
    B.height = h;
    B.tiles.size_for(w, h);
    B.runs.reserve(static_cast<std::size_t>(B.tiles.columns()) * B.tiles.rows());
  }
  paint_black(B.windc, w, h);
  on_window_created();
  LeaveCriticalSection(&B.drawing);
}

void on_paint(HWND hwnd) {
  RECT update;
  if (!GetUpdateRect(hwnd, &update, FALSE)) return;
  EnterCriticalSection(&B.drawing);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (GRAPHRUNNING.load() && B.savedscreen.dc != nullptr)
    BitBlt(dc, update.left, update.top, update.right - update.left, update.bottom - update.top,
           B.savedscreen.dc, update.left, update.top, SRCCOPY);
  EndPaint(hwnd, &ps);
  LeaveCriticalSection(&B.drawing);
}

// The images stay for the main thread to release: put_pixel may still be
// writing there.
void on_destroy(HWND hwnd) {
  EnterCriticalSection(&B.drawing);
  on_window_destroyed();
  ReleaseDC(hwnd, B.windc);
  B.windc = nullptr;
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
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc) != 0;
}

HWND WINCREATE() {
  // The outer size that gives the requested client size.
  const int width = B.request.width + 2 * GetSystemMetrics(SM_CXFRAME);
  const int height =
      B.request.height + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | (B.request.maximized ? WS_MAXIMIZE : 0);
  HWND hwnd = CreateWindowExA(0, kClassName, B.request.title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                              width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (hwnd != nullptr) {
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
  }
  return hwnd;
}

// Sends the marked tiles to the window, drawn from the image put_pixel
// writes: a pixel written while its tile is drawn has marked the tile again
// for the next look. False when none was marked.
bool present() {
  if (B.savedscreen.bits == nullptr) return false;
  B.tiles.begin_look();
  B.runs.clear();
  for (int ty = 0; ty < B.tiles.rows(); ++ty)
    B.tiles.take_row(ty, [&](int first, int end) {
      const int x = first * kTile, y = ty * kTile;
      const int right = std::min(end * kTile, B.width), bottom = std::min(y + kTile, B.height);
      B.runs.push_back(RECT{x, y, right, bottom});
    });
  for (const RECT& r : B.runs)
    BitBlt(B.windc, r.left, r.top, r.right - r.left, r.bottom - r.top, B.savedscreen.dc, r.left,
           r.top, SRCCOPY);
  GdiFlush();  // on the window now, not batched
  return !B.runs.empty();
}

// Handles the queued messages; false once the quit message came, with its
// code in `code`.
bool dispatch_pending(DWORD& code) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      code = static_cast<DWORD>(msg.wParam);
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

// The event loop: messages as they come, and the marked tiles at most
// every kFlushPeriod. With tiles marked it sleeps until the next sending
// (messages wait that long at most): a plain sleep wakes on time where a
// timed wait for messages would have to go through the system's message
// server. With nothing marked it waits for messages or the wake-up.
DWORD run() {
  auto next_send = Clock::now();
  auto last_found = next_send - kSettlePeriod;
  DWORD code = 0;
  for (;;) {
    if (!dispatch_pending(code)) return code;
    const auto now = Clock::now();
    if (now >= next_send && present()) {
      next_send = now + kFlushPeriod;
      last_found = now;
    }
    const TileMarks::Wait w = B.tiles.idle_wait(now, next_send, last_found);
    if (w.dirty) {
      if (w.ms > 0) Sleep(static_cast<DWORD>(w.ms));
    } else {
      MsgWaitForMultipleObjectsEx(1, &B.wake, w.ms < 0 ? INFINITE : static_cast<DWORD>(w.ms),
                                  QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
  }
}

DWORD WINAPI MESSAGEHANDLETHREAD(void*) {
  // The plotting loop never yields; above it, the window thread sends the
  // changed tiles on time.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
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
  return run();
}

bool thread_running() {
  DWORD code = 0;
  return GetExitCodeThread(B.thread, &code) && code == STILL_ACTIVE;
}

// After the window thread has ended: nothing else uses what it leaves.
void release_thread() {
  release_image(B.savedscreen);
  B.width = B.height = 0;
  B.tiles.clear();
  CloseHandle(B.thread);
  B.thread = nullptr;
  B.thread_id.store(0);
  B.window = nullptr;
  CloseHandle(B.wake);
  B.wake = nullptr;
  DeleteCriticalSection(&B.drawing);
}

}  // namespace

ScreenMetrics measure_screen() {
  ScreenMetrics m;
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
  B.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  DWORD id = 0;
  B.thread = CreateThread(nullptr, 0, MESSAGEHANDLETHREAD, nullptr, 0, &id);
  if (B.thread == nullptr) {
    CloseHandle(B.init_event);
    B.init_event = nullptr;
    CloseHandle(B.wake);
    B.wake = nullptr;
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
  if (WaitForSingleObject(B.thread, kCloseWaitMs) != WAIT_OBJECT_0) return;
  release_thread();
}

void lock() { EnterCriticalSection(&B.drawing); }
void unlock() { LeaveCriticalSection(&B.drawing); }

// GRAPHRUNNING was seen set: the image is there until this thread releases
// the window thread.
void put_pixel(int x, int y, std::uint32_t rgb) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(B.width) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(B.height))
    return;
  // COLORREF order (red lowest) to the DIB's (blue lowest).
  const std::uint32_t pixel = (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
  const std::atomic_ref<std::uint32_t> word(
      B.savedscreen.bits[static_cast<std::size_t>(y) * B.width + x]);
  if (word.load(std::memory_order_relaxed) == pixel) return;  // on the window, or about to be
  word.store(pixel, std::memory_order_relaxed);
  if (B.tiles.mark(x, y)) SetEvent(B.wake);
}

std::uint32_t get_pixel(int x, int y) {
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(B.width) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(B.height))
    return 0;
  const std::uint32_t p = B.savedscreen.bits[static_cast<std::size_t>(y) * B.width + x];
  return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
}

}  // namespace graphics::window
