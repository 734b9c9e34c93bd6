// The terminal in key mode: from start-up to the end of the process the
// terminal delivers keys one by one without echo; the settings found at
// start-up come back however the process ends or stops.
//
// Key mode: not canonical, no echo, no input translation (Enter stays 13,
// Ctrl+J 10), no flow control (Ctrl+S and Ctrl+Q are keys), no Ctrl+V
// quoting. ISIG stays: Ctrl+C and Ctrl+\ end the program, Ctrl+Z stops it.
// Output processing is left as found.
//
// TtyState::mode tells the signal handlers who holds the terminal; a
// handler that changes the settings marks it TTY_BUSY meanwhile, so that a
// handler on another thread or the exit sequence never interleaves its own
// change with it. The handlers block one another on their own thread.
#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "services/console/posix.hpp"

namespace console::posix {
namespace {

constexpr int FATAL_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// Takes the terminal when it is in state `from`, once a change in progress
// elsewhere is done; false when it is in another state.
bool take(int from) {
  for (;;) {
    int m = TTY.mode.load();
    if (m == TTY_BUSY) continue;
    if (m != from) return false;
    if (TTY.mode.compare_exchange_weak(m, TTY_BUSY)) return true;
  }
}

// Marks the terminal as given back, once a change in progress is done.
void give_back() {
  for (;;) {
    int m = TTY.mode.load();
    if (m != TTY_BUSY && TTY.mode.compare_exchange_weak(m, TTY_OFF)) return;
  }
}

void our_signals(sigset_t& set) {
  sigemptyset(&set);
  for (int s : FATAL_SIGNALS) sigaddset(&set, s);
  sigaddset(&set, SIGTSTP);
  sigaddset(&set, SIGCONT);
}

void set_keys_again() {
  CURSOR_MOVED.store(true);
  if (take(TTY_SUSPENDED) || take(TTY_KEYS)) {
    tcsetattr(TTY.fd, TCSANOW, &TTY.keys);
    TTY.mode.store(TTY_KEYS);
  }
}

void unblock(int sig) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void set_action(int sig, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sa.sa_flags = SA_RESTART;
  // Our handlers block one another, so none runs nested in another.
  our_signals(sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

// SIGHUP, SIGINT, SIGQUIT, SIGTERM: give the terminal back, then end by
// the same signal as its default action would.
void on_fatal(int sig) {
  give_back();
  tcsetattr(TTY.fd, TCSANOW, &TTY.saved);
  signal(sig, SIG_DFL);
  unblock(sig);
  raise(sig);
  _exit(128 + sig);
}

// Ctrl+Z: the terminal goes back as found while the process is stopped.
void on_stop(int) {
  if (take(TTY_KEYS)) {
    tcsetattr(TTY.fd, TCSANOW, &TTY.saved);
    TTY.mode.store(TTY_SUSPENDED);
  }
  signal(SIGTSTP, SIG_DFL);
  unblock(SIGTSTP);
  raise(SIGTSTP);  // stops here; discarded in an orphaned process group
  set_action(SIGTSTP, on_stop);
  set_keys_again();
}

// SIGHUP ignored when the program started (nohup): the program goes on,
// but looks at its input, where it finds the terminal gone.
void on_hangup_ignored(int) { INPUT_MAY_BE_PENDING.store(true); }

// Continued (after Ctrl+Z, or a stop we did not see): key mode again. In
// the background this stops the process once more until it is in front.
void on_continue(int) { set_keys_again(); }

bool disposition_is(int sig, void (*what)(int)) {
  struct sigaction old {};
  return sigaction(sig, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) &&
         old.sa_handler == what;
}

bool is_default(int sig) { return disposition_is(sig, SIG_DFL); }

}  // namespace

bool enter_key_mode(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  TTY.fd = fd;
  TTY.saved = t;
  t.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | ISTRIP | IXON);
  t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  TTY.keys = t;

  // Signals ignored at start-up (nohup, background jobs) stay ignored.
  for (int s : FATAL_SIGNALS)
    if (is_default(s)) set_action(s, on_fatal);
  if (disposition_is(SIGHUP, SIG_IGN)) set_action(SIGHUP, on_hangup_ignored);
  if (is_default(SIGTSTP)) set_action(SIGTSTP, on_stop);
  if (is_default(SIGCONT)) set_action(SIGCONT, on_continue);

  // No handler of ours may run on this thread while it holds the terminal.
  sigset_t ours, old;
  our_signals(ours);
  pthread_sigmask(SIG_BLOCK, &ours, &old);
  TTY.mode.store(TTY_BUSY);
  const bool ok = tcsetattr(fd, TCSANOW, &TTY.keys) == 0;
  TTY.mode.store(ok ? TTY_KEYS : TTY_OFF);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return ok;
}

void leave_key_mode() {
  if (TTY.fd < 0) return;
  give_back();
  tcsetattr(TTY.fd, TCSANOW, &TTY.saved);
}

}  // namespace console::posix
