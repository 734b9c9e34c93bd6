// The terminal in key mode: from start-up to the end of the process the
// terminal delivers keys one by one without echo; the settings found at
// start-up come back however the process ends or stops (SIGKILL aside).
//
// Key mode: not canonical, no echo, no input translation (Enter stays 13,
// Ctrl+J 10), no flow control (Ctrl+S and Ctrl+Q are keys), no Ctrl+V
// quoting. ISIG stays: Ctrl+C and Ctrl+\ end the program, Ctrl+Z stops it
// (on a terminal of another session the program reads those keys itself).
// Output processing is left as found.
//
// TtyState::mode tells the signal handlers who holds the terminal; a
// handler that changes the settings marks it busy meanwhile, so that a
// handler on another thread or the exit sequence never interleaves its own
// change with it. The handlers block one another on their own thread and
// never wait without limit for a change in progress, so that no burst of
// signals can jam the process. Settings change only while the process is
// in the terminal's foreground; a stopped process that is told to end
// (kill %1: SIGTERM, then SIGCONT) ends without touching the terminal, and
// one in the background (started with &, or continued by bg) neither
// reads, asks nor changes anything on it until it is in front again: a
// read or a change of settings from there would stop it (SIGTTIN, SIGTTOU).
#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "services/console/backend_posix.hpp"
#include "services/runtime/faults/faults_posix.hpp"
#include "services/runtime/platform.hpp"

namespace console::posix {
namespace {

using runtime::platform::tick_count_ms;

// Who holds the terminal's settings. Read by signal handlers.
enum class TtyMode : int { off, keys, suspended, busy };
static_assert(std::atomic<TtyMode>::is_always_lock_free, "signal handlers need a lock-free mode");

struct TtyState {
  int fd = -1;
  termios saved{};  // as found at start-up
  termios keys{};   // key by key, no echo
  std::atomic<TtyMode> mode{TtyMode::off};
  // `saved` was taken in front (not by a job started in the background).
  // Written only by whoever holds the terminal (mode busy).
  bool found_in_front = false;
  // The terminal's signal characters, read as bytes (see enter_key_mode);
  // _POSIX_VDISABLE when the terminal sends the signals itself.
  cc_t interrupt = _POSIX_VDISABLE, quit = _POSIX_VDISABLE, suspend = _POSIX_VDISABLE;
};

TtyState tty;

// SIGCONTs handled so far, on whichever thread.
std::atomic<std::uint32_t> continues{0};

// Signals whose default action ends the process, but for the processor
// faults (the fault filter's) and SIGIO (ours): the terminal comes back
// first. Real-time signals are added at run time.
constexpr int kFatalSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGABRT, SIGUSR1,
                                 SIGUSR2, SIGALRM, SIGPIPE, SIGXCPU,   SIGXFSZ, SIGSYS,
                                 SIGVTALRM, SIGPROF, SIGSTKFLT, SIGPWR};

// How long a handler waits for a change in progress on another thread.
constexpr std::uint32_t kBusyWaitMs = 500;

template <class F>
void for_each_fatal(F f) {
  for (int s : kFatalSignals) f(s);
  for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) f(s);
}

// The mode once a change in progress elsewhere is done, or has had
// kBusyWaitMs from `since` (then still busy).
TtyMode settled(std::uint32_t since) {
  TtyMode m;
  while ((m = tty.mode.load()) == TtyMode::busy && tick_count_ms() - since <= kBusyWaitMs) {
  }
  return m;
}

// Takes the terminal when it is in state `from`, once a change in progress
// elsewhere is done; false when it is in another state, or the change does
// not end in time.
bool take(TtyMode from) {
  const std::uint32_t since = tick_count_ms();
  for (;;) {
    TtyMode m = settled(since);
    if (m != from) return false;
    if (tty.mode.compare_exchange_weak(m, TtyMode::busy)) return true;
  }
}

void our_signals(sigset_t& set) {
  sigemptyset(&set);
  for_each_fatal([&set](int s) { sigaddset(&set, s); });
  sigaddset(&set, SIGTSTP);
  sigaddset(&set, SIGCONT);
  sigaddset(&set, SIGWINCH);
}

void mask(int how, int sig) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(how, &set, nullptr);
}

// Another process group is in the terminal's foreground: the settings are
// its business.
bool others_in_front() {
  const pid_t front = tcgetpgrp(tty.fd);
  return front > 0 && front != getpgrp();
}

// Whether the terminal is the controlling terminal of the program's own
// session: tcgetpgrp answers only then (ENOTTY otherwise). It says what
// tcgetsid would, and also under user-mode emulators, which do not all pass
// tcgetsid's answer back. Another failure leaves the terminal ours.
bool controls_our_session(int fd) { return tcgetpgrp(fd) != -1 || errno != ENOTTY; }

// The settings to give back, `found`, and key mode made from them.
void take_settings(const termios& found) {
  tty.saved = found;
  termios t = found;
  t.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | ISTRIP | IXON);
  t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  // A terminal that is not the controlling terminal of the program's own
  // session (`setsid trigrain` in a shell, or a terminal opened by name)
  // sends its Ctrl+C and Ctrl+\ signals to the front job of another
  // session, never to the program: only a wrapper would die, leaving the
  // program running in key mode. There the program reads those keys as
  // bytes and acts on them itself, as the signals would act. Ctrl+Z is
  // swallowed instead: the shell in front does not wait for this program,
  // so a stop would leave it stopped with nobody to continue it.
  if ((t.c_lflag & ISIG) != 0 && !controls_our_session(tty.fd)) {
    tty.interrupt = t.c_cc[VINTR];
    tty.quit = t.c_cc[VQUIT];
    tty.suspend = t.c_cc[VSUSP];
    t.c_lflag &= ~static_cast<tcflag_t>(ISIG);
  }
  tty.keys = t;
}

void set_keys_again() {
  cursor_moved.store(true);
  ask_cursor.store(true);
  // In the background (started with &, continued by bg, or to be ended by
  // kill) key mode waits until the process is in front: a SIGCONT (fg of a
  // stopped job) or watch_for_front (fg of a running one) brings it here.
  if (others_in_front()) {
    watch_for_front(true);
    return;
  }
  if (take(TtyMode::suspended) || take(TtyMode::keys)) {
    if (!tty.found_in_front) {
      // Started in the background: what the terminal had then was the front
      // job's business (a shell's line editor may have had it raw); what it
      // has now, as it is handed over, is what must come back.
      termios now{};
      if (tcgetattr(tty.fd, &now) == 0) take_settings(now);
      tty.found_in_front = true;
    }
    tcsetattr(tty.fd, TCSANOW, &tty.keys);
    tty.mode.store(TtyMode::keys);
    watch_for_front(false);
    // Input left unread while in the background is the program's now.
    input_may_be_pending.store(true);
  }
}

// The settings found at start-up, for good; from any thread, also in a
// handler. Once a change in progress is done (or has had its time): while
// suspended the settings are back already.
void give_back_for_good() {
  settled(tick_count_ms());
  const TtyMode was = tty.mode.exchange(TtyMode::off);
  if (was == TtyMode::off || was == TtyMode::suspended || tty.fd < 0 || others_in_front()) return;
  tcsetattr(tty.fd, TCSANOW, &tty.saved);
}

void set_action(int sig, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sa.sa_flags = SA_RESTART;
  // Our handlers block one another, so none runs nested in another.
  our_signals(sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

// A signal that ends the process: the terminal back, then the end the
// signal's default action gives.
void on_fatal(int sig) {
  give_back_for_good();
  signal(sig, SIG_DFL);
  mask(SIG_UNBLOCK, sig);
  raise(sig);
  _exit(128 + sig);
}

// A SIGCONT came after the stop was asked for: handled on another thread
// since `seen`, or waiting behind our handler. Raising the stop now would
// discard a waiting SIGCONT and leave the process stopped for good; had the
// stop not been caught, the continue would have undone it. (One that comes
// between this look and the raise is still lost: there is no "stop unless
// continued"; the next SIGCONT, from fg or bg, brings the process back.)
bool continued_since(std::uint32_t seen) {
  sigset_t pending;
  return continues.load() != seen ||
         (sigpending(&pending) == 0 && sigismember(&pending, SIGCONT) == 1);
}

// Ctrl+Z: the terminal goes back as found while the process is stopped.
void on_stop(int) {
  const std::uint32_t seen = continues.load();
  if (take(TtyMode::keys)) {
    if (!others_in_front()) tcsetattr(tty.fd, TCSANOW, &tty.saved);
    tty.mode.store(TtyMode::suspended);
  }
  if (!continued_since(seen)) {
    signal(SIGTSTP, SIG_DFL);
    mask(SIG_UNBLOCK, SIGTSTP);
    raise(SIGTSTP);  // stops here; discarded in an orphaned process group
    // A stop that comes now stops the process by default; from here on it
    // waits for this handler to return, instead of running nested in it.
    mask(SIG_BLOCK, SIGTSTP);
    set_action(SIGTSTP, on_stop);
  }
  set_keys_again();
}

// SIGHUP ignored when the program started (nohup): the program goes on,
// but looks at its input, where it finds the terminal gone.
void on_hangup_ignored(int) { input_may_be_pending.store(true); }

// Continued (after Ctrl+Z, or a stop we did not see): key mode again.
void on_continue(int) {
  continues.fetch_add(1);
  set_keys_again();
}

void on_resize(int) {
  size_changed.store(true);
  ask_cursor.store(true);
  input_may_be_pending.store(true);  // the next look at the input may ask
}

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
  tty.fd = fd;
  take_settings(t);

  // Signals ignored at start-up (nohup, background jobs) stay ignored.
  for_each_fatal([](int s) {
    if (is_default(s)) set_action(s, on_fatal);
  });
  if (disposition_is(SIGHUP, SIG_IGN)) set_action(SIGHUP, on_hangup_ignored);
  if (is_default(SIGTSTP)) set_action(SIGTSTP, on_stop);
  if (is_default(SIGCONT)) set_action(SIGCONT, on_continue);
  if (is_default(SIGWINCH)) set_action(SIGWINCH, on_resize);
  runtime::platform::fatal_signal_hook.store(give_back_for_good);

  // No handler of ours may run on this thread while it holds the terminal.
  sigset_t ours, old;
  our_signals(ours);
  pthread_sigmask(SIG_BLOCK, &ours, &old);
  bool ok = true;
  if (others_in_front()) {
    // Started in the background (`trigrain &`): the settings are the front
    // job's, and changing them would stop the process (SIGTTOU). Key mode
    // waits, as after Ctrl+Z and bg, for the program to be in front.
    tty.mode.store(TtyMode::suspended);
    watch_for_front(true);
  } else {
    tty.mode.store(TtyMode::busy);
    tty.found_in_front = true;
    ok = tcsetattr(fd, TCSANOW, &tty.keys) == 0;
    tty.mode.store(ok ? TtyMode::keys : TtyMode::off);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return ok;
}

bool take_signal_byte(unsigned char c) {
  if (c == _POSIX_VDISABLE) return false;
  if (c == tty.interrupt || c == tty.quit) {
    // What the terminal would have sent: the handler, the default action
    // or nothing (ignored at start-up) as for a signal from the terminal.
    raise(c == tty.interrupt ? SIGINT : SIGQUIT);
    return true;
  }
  return c == tty.suspend;
}

bool terminal_in_front() {
  const TtyMode m = tty.mode.load();
  if (m == TtyMode::keys) return !others_in_front();
  if (m != TtyMode::suspended || others_in_front()) return false;
  // In front again without a SIGCONT (fg of a job that runs in the
  // background): key mode as a continue would set it.
  sigset_t ours, old;
  our_signals(ours);
  pthread_sigmask(SIG_BLOCK, &ours, &old);
  set_keys_again();
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return tty.mode.load() == TtyMode::keys;
}

void leave_key_mode() {
  if (tty.fd < 0) return;
  runtime::platform::fatal_signal_hook.store(nullptr);
  give_back_for_good();
}

}  // namespace console::posix
