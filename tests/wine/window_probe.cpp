// Test-only program: finds the top-level window with the given title and
// writes "client X Y W H maximized M": its client area's origin on the
// screen, its size, and whether the window is maximised. Exit status 1 when
// there is no such window.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wine_window_probe TITLE\n");
    return 2;
  }
  HWND w = FindWindowA(nullptr, argv[1]);
  if (w == nullptr) return 1;
  RECT client;
  POINT origin{0, 0};
  if (!GetClientRect(w, &client) || !ClientToScreen(w, &origin)) return 1;
  std::printf("client %ld %ld %ld %ld maximized %d\n", origin.x, origin.y, client.right,
              client.bottom, IsZoomed(w) ? 1 : 0);
  return 0;
}
