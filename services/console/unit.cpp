// The console unit: start-up binds the service to the platform's console.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"
#include "services/runtime/system.hpp"

namespace console {
namespace {

void init_console() {
  backend::Console c;
  switch (backend::open(c)) {
    case backend::OpenResult::ok:
      break;
    case backend::OpenResult::no_handle:
      runtime::fail_start("No way to get the console handle");
    case backend::OpenResult::no_info:
      runtime::fail_start("No way to get console screen buffer info");
  }
  attach(*c.events, *c.screen);
}

void fini_console() { backend::close(); }

}  // namespace

const runtime::Unit kConsoleUnit{"console", init_console, fini_console};

void attach(const EventSource& source, const Screen& cells) {
  events = &source;
  screen = &cells;

  ScreenInfo info;
  if (!cells.info(info)) info = ScreenInfo{};
  text_window = TextWindow{1, 1, info.width > 0 ? info.width : 80,
                           info.height > 0 ? info.height : 25};
  const auto clamp = [](int v, int hi) { return v < 0 ? 0 : v > hi ? hi : v; };
  console_x = clamp(info.cursor_x, text_window.right - 1);
  console_y = clamp(info.cursor_y, text_window.bottom - 1);
  cursor_x = console_x + 1;
  cursor_y = console_y + 1;
  TEXTATTR = info.attribute;

  DOINGNUMCHARS = false;
  DOINGNUMCODE = 0;

  using runtime::FileMode;
  runtime::TEXTREC& out = runtime::OUTPUT;
  out.mode = FileMode::output;
  out.bufpos = out.bufend = 0;
  out.inout = write_console;
  out.flush = write_console;
  out.close = nullptr;

  runtime::TEXTREC& in = runtime::INPUT;
  in.mode = FileMode::input;
  in.bufpos = in.bufend = 0;
  in.inout = read_console_line;
  in.flush = nullptr;
  in.close = nullptr;
}

}  // namespace console
