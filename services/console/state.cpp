// The console service's state that its files share. Main thread only.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"

namespace console {

std::uint8_t SCANCODE = 0;
bool SPECIALKEY = false;
bool DOINGNUMCHARS = false;
std::uint8_t DOINGNUMCODE = 0;

TextWindow text_window;
int cursor_x = 1, cursor_y = 1;
int console_x = 0, console_y = 0;
std::uint16_t TEXTATTR = 0x07;

namespace {

// Until the unit binds a console: nothing is ever pending.
bool nothing_pending() { return false; }
bool read_nothing(InputRecord&) { return false; }
void wait_nothing(std::uint32_t) {}
constexpr EventSource kNoEvents{nothing_pending, read_nothing, wait_nothing};

}  // namespace

const EventSource* events = &kNoEvents;
const Screen* screen = nullptr;

}  // namespace console
