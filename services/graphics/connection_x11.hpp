#pragma once
// An X connection whose loss ends only that connection, never the process.
#include <X11/Xlib.h>

#include <vector>

namespace graphics::x11 {

struct Connection {
  Display* display = nullptr;
  // The server went away or closed this client: every later call on the
  // display does nothing, and the owner is to wind down.
  bool lost = false;
  // The last connect failed because the server answered and turned this
  // client away (no authorisation, too many clients): asking again gets
  // the same answer. Not set for a server that cannot be reached or drops
  // the connection, as one does while it resets.
  bool refused = false;
};

// Opens the display that DISPLAY names; false if it cannot be reached or
// refuses the client. The reason a server gives for refusing is written to
// standard error, once per process however often it is given.
// Then closes the parked connection, if any.
bool connect(Connection& c);
// Closes the connection (also after it was lost).
void disconnect(Connection& c);
// A server started without -noreset resets when its last client leaves, and
// drops a client that is still connecting then. A connection that another
// is about to follow is parked instead of closed: the next connect closes it
// once the new one is up (or has failed). Leaves `c` closed.
void park(Connection& c);

// Protocol errors seen on the calling thread so far.
int error_count();

// A property of 32-bit items of the given type; empty if absent.
std::vector<long> long_property(Display* d, Window w, Atom property, Atom type);

// Waits up to timeout_ms (-1: no limit) for the connection to have input.
bool wait_input(Display* d, int timeout_ms);

}  // namespace graphics::x11
