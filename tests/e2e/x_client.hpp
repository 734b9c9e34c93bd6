#pragma once
// A test's own connection to its private X server: finds the programs'
// windows, reads their pixels and sends them events.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rgb;  // 0xRRGGBB, row by row
  std::uint32_t at(int x, int y) const {
    return rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x)];
  }
};

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

class XClient {
 public:
  explicit XClient(const std::string& display);
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  // The viewable top-level window with this title (WM_NAME), searched for
  // until the time-out; 0 when none.
  unsigned long wait_for_window(const std::string& title, std::chrono::milliseconds timeout);
  // The same, once; 0 when there is none.
  unsigned long find_window(const std::string& title);
  // Size of the window's drawing area; nullopt once it is gone.
  std::optional<Size> size(unsigned long window);
  // The window's pixels; nullopt when they cannot be read (gone, unmapped).
  std::optional<Image> capture(unsigned long window);
  // Asks the window to close, as a window manager's close button does.
  void request_close(unsigned long window);
  // Key press and release events for a key name ("a", "Return"), sent
  // straight to the window.
  void send_key(unsigned long window, const std::string& key);
  // Gives the window the keyboard focus.
  void focus(unsigned long window);

 private:
  void* display_;
};

}  // namespace e2e
