// The console unit: start-up binds the service to the platform's console.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"
#include "services/runtime/system.hpp"
#include "services/runtime/textfile.hpp"

namespace console {
namespace {

[[noreturn]] void fail(const char* message) {
  runtime::write_str(runtime::STDERR, message);
  runtime::write_line(runtime::STDERR);
  // A failed start-up ends with status 1 and no report, also when the
  // message could not be written.
  runtime::INOUTRES = 0;
  runtime::HALT(1);
}

void init_console() {
  backend::Console c;
  switch (backend::open(c)) {
    case backend::OpenResult::ok:
      break;
    case backend::OpenResult::no_handle:
      fail("No way to get the console handle");
    case backend::OpenResult::no_info:
      fail("No way to get console screen buffer info");
  }
  ATTACH(*c.events, *c.screen);
}

void fini_console() { backend::close(); }

}  // namespace

const runtime::Unit CONSOLE_UNIT{"console", init_console, fini_console};

void ATTACH(const EventSource& events, const Screen& screen) {
  EVENTS = &events;
  SCREEN = &screen;

  ScreenInfo info;
  if (!screen.info(info)) info = ScreenInfo{};
  WINDOW = TextWindow{1, 1, info.width > 0 ? info.width : 80, info.height > 0 ? info.height : 25};
  const auto clamp = [](int v, int hi) { return v < 0 ? 0 : v > hi ? hi : v; };
  CONSOLEX = clamp(info.cursor_x, WINDOW.right - 1);
  CONSOLEY = clamp(info.cursor_y, WINDOW.bottom - 1);
  CURSORX = CONSOLEX + 1;
  CURSORY = CONSOLEY + 1;
  TEXTATTR = info.attribute;
  CHECKEOF = false;

  DOINGNUMCHARS = false;
  DOINGNUMCODE = 0;

  using runtime::FileMode;
  runtime::TEXTREC& out = runtime::OUTPUT;
  out.mode = FileMode::output;
  out.bufpos = out.bufend = 0;
  out.inout = WRITE_CONSOLE;
  out.flush = WRITE_CONSOLE;
  out.close = nullptr;

  runtime::TEXTREC& in = runtime::INPUT;
  in.mode = FileMode::input;
  in.bufpos = in.bufend = 0;
  in.inout = READ_CONSOLE_LINE;
  in.flush = nullptr;
  in.close = nullptr;
}

}  // namespace console
