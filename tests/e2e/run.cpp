#include "tests/e2e/run.hpp"

#include <stdlib.h>

#include <sys/stat.h>

#include <algorithm>

#include "services/graphics/graph.hpp"
#include "services/graphics/modes.hpp"
#include "tests/support/process.hpp"
#include "tests/support/programs.hpp"
#include "tests/support/scratch.hpp"

namespace e2e {

std::string program_path(const Figure& figure) { return testsupport::program(figure.program); }

testsupport::TerminalOptions with_display(testsupport::TerminalOptions options, const std::string& display) {
  // The child inherits this process's environment; tests never use the
  // machine's own display.
  unsetenv("DISPLAY");
  fresh_terminal_settings();  // taken before any program has run
  if (!display.empty()) options.env.push_back("DISPLAY=" + display);
  return options;
}

namespace {

std::string command(const Figure& figure, const Launch& launch) {
  if (launch.prompt.empty() && launch.stderr_path.empty()) return program_path(figure);
  return launcher(program_path(figure), launch.prompt, launch.stderr_path);
}

}  // namespace

ProgramRun::ProgramRun(const Figure& figure, const std::string& display, Launch launch)
    : terminal(command(figure, launch), with_display(std::move(launch.pty), display)) {}

Size detected_mode_size(const std::string& display) {
  setenv("DISPLAY", display.c_str(), 1);
  graphics::release_mode_lists();
  graphics::QUERYADAPTERINFO();
  unsetenv("DISPLAY");
  std::int16_t driver = 0, mode = 0;
  graphics::DETECTGRAPH(driver, mode);
  const graphics::TMODEINFO* m = graphics::SEARCHMODE(driver, mode);
  if (m == nullptr) return {};
  return {m->MAXX + 1, m->MAXY + 1};
}

unsigned long wait_for_window(XClient& x) { return x.wait_for_window(kTitle, kStartTimeout); }

bool wait_for_plotting(XClient& x, unsigned long window) {
  return wait_until(
      [&] {
        const auto image = x.capture(window);
        return image && std::ranges::any_of(image->rgb, [](std::uint32_t p) { return p != 0; });
      },
      kStartTimeout, 50ms);
}

void expect_end(Terminal& terminal, int status) {
  const auto ended = terminal.wait_exit(kExitTimeout);
  ASSERT_TRUE(ended.has_value()) << "still running; output: " << terminal.output();
  EXPECT_EQ(testsupport::exit_code(*ended), status) << "output: " << terminal.output();
  EXPECT_EQ(terminal.settings(), fresh_terminal_settings())
      << "terminal settings not restored";
}

void end_with_enter(Terminal& terminal) {
  terminal.type("\r");
  expect_end(terminal, 0);
}

bool keeps_running(Terminal& terminal, std::chrono::milliseconds for_at_least) {
  return !terminal.wait_exit(for_at_least).has_value();
}

FigureCheck check_figure(const Image& image, const Figure& figure) {
  const Reference& ref = reference(figure);
  FigureCheck c;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const bool in_ref = ref.attractor.has(x, y);
      c.attractor_size += in_ref;
      const std::uint32_t p = image.at(x, y);
      if (p == 0) continue;
      ++c.lit;
      c.attractor_lit += in_ref;
      c.not_white += p != 0xFCFCFC;
      c.outside += x < figure.left || x > figure.right || y < figure.top || y > figure.bottom;
      c.off_figure += !ref.attractor.near(x, y) && !ref.way_in.near(x, y);
    }
  c.origin_lit = image.width > 512 && image.height > 384 && image.at(512, 384) != 0;
  return c;
}

FigureCheck wait_for_dense_figure(XClient& x, unsigned long window, const Figure& figure,
                                  double share, std::chrono::milliseconds timeout) {
  FigureCheck last;
  wait_until(
      [&] {
        if (auto image = x.capture(window)) last = check_figure(*image, figure);
        return last.share() >= share;
      },
      timeout, 100ms);
  return last;
}

void PrintTo(const Figure* figure, std::ostream* os) { *os << figure->program; }

std::string ProgramName::operator()(const ::testing::TestParamInfo<const Figure*>& info) const {
  return info.param->program;
}

std::string launcher(const std::string& program, const std::string& prompt,
                     const std::string& stderr_path) {
  std::string script = "#!/bin/sh\n";
  if (!prompt.empty()) script += "printf '%s' '" + prompt + "'\n";
  script += "exec";
  for (const std::string& word : testsupport::command(program)) script += " '" + word + "'";
  if (stderr_path == "&-")
    script += " 2>&-";
  else if (!stderr_path.empty())
    script += " 2>'" + stderr_path + "'";
  const std::string path = testsupport::scratch_file(script + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

}  // namespace e2e
