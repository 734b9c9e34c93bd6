// The console service's process-wide state, in one place. Main thread only.
#include "services/console/backend.hpp"
#include "services/console/console.hpp"

namespace console {

std::uint8_t SCANCODE = 0;
bool SPECIALKEY = false;
bool DOINGNUMCHARS = false;
std::uint8_t DOINGNUMCODE = 0;

TextWindow WINDOW;
int CURSORX = 1, CURSORY = 1;
int CONSOLEX = 0, CONSOLEY = 0;
std::uint16_t TEXTATTR = 0x07;
bool CHECKEOF = false;

namespace {

// Until the unit binds a console: nothing is ever pending.
bool nothing_pending() { return false; }
bool read_nothing(InputRecord&) { return false; }
void wait_nothing(std::uint32_t) {}
const EventSource NO_EVENTS{nothing_pending, read_nothing, wait_nothing};

}  // namespace

const EventSource* EVENTS = &NO_EVENTS;
const Screen* SCREEN = nullptr;

}  // namespace console
