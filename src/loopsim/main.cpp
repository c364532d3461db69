// quillark-loopsim: loops of simulated devices on pseudo-terminals, for the
// live edition without hardware and for tests at full scale. One thread: the
// pseudo-terminals and the console are watched by the Qt event loop, and the
// lines are paced by its timers.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/site/config.h"
#include "loopsim.h"
#include "platform/qteventloop.h"

namespace {

using quillark::loopsim::LoopSimulator;

constexpr char USAGE[] =
    "usage: quillark-loopsim [--site FILE | --loops N --detectors M] [--baud RATE]\n"
    "                        [--scenario FILE] [--seed N]\n"
    "Opens one pseudo-terminal per loop and answers on it as a loop of devices does.\n"
    "Each loop's device path is printed as 'loop N: PATH', then 'ready'.\n"
    "Type 'help' on standard input for the console words; a scenario file holds\n"
    "the same words, each line prefixed with 'at SECONDS'.\n";

struct Options {
  std::string site, scenario;
  int loops = 0, detectors = 16, baud = 9600;
  unsigned seed = 1;
};

bool Number(const char* text, long lo, long hi, long& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

// Returns 0 to run, else the exit status (after printing why).
int Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(USAGE, stdout);
      return -1;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "quillark-loopsim: %s needs a value\n%s", a.c_str(), USAGE);
      return 2;
    }
    const char* v = argv[++i];
    long n = 0;
    if (a == "--site") {
      o.site = v;
    } else if (a == "--scenario") {
      o.scenario = v;
    } else if (a == "--loops" && Number(v, 1, 16, n)) {
      o.loops = static_cast<int>(n);
    } else if (a == "--detectors" && Number(v, 0, 127, n)) {
      o.detectors = static_cast<int>(n);
    } else if (a == "--baud" && Number(v, 300, 1000000, n)) {
      o.baud = static_cast<int>(n);
    } else if (a == "--seed" && Number(v, 0, 0x7FFFFFFF, n)) {
      o.seed = static_cast<unsigned>(n);
    } else {
      std::fprintf(stderr, "quillark-loopsim: bad option %s %s\n%s", a.c_str(), v, USAGE);
      return 2;
    }
  }
  return 0;
}

struct Pty {
  int master = -1, slave = -1;
  std::string path;
};

bool OpenPty(Pty& p) {
  char name[256] = {};
  if (openpty(&p.master, &p.slave, name, nullptr, nullptr) != 0) return false;
  // Raw both ways: every byte passes as it is, CR included. The slave stays
  // open here so that the line survives the program closing and reopening it.
  termios t{};
  for (int fd : {p.master, p.slave}) {
    if (tcgetattr(fd, &t) == 0) {
      cfmakeraw(&t);
      tcsetattr(fd, TCSANOW, &t);
    }
  }
  fcntl(p.master, F_SETFL, fcntl(p.master, F_GETFL) | O_NONBLOCK);
  p.path = name;
  return true;
}

void Say(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (int rc = Parse(argc, argv, o); rc != 0) return rc < 0 ? 0 : rc;

  quillark::TSiteConfig site;
  if (!o.site.empty()) {
    if (!site.Load(o.site)) {
      std::fprintf(stderr, "quillark-loopsim: cannot read the site %s (error %d)\n", o.site.c_str(),
                   site.GetLoadError());
      return 2;
    }
    // Every site has a command module on each of the sixteen loops; the
    // loops in use are those with detectors or power supplies.
    if (o.loops == 0) {
      for (const auto& d : site)
        if (d.GetType() == quillark::DETECTOR || d.GetType() == quillark::POWERSUPPLY)
          o.loops = std::max(o.loops, static_cast<int>(std::min(d.GetLoop(), 15u)) + 1);
    }
  }
  if (o.loops == 0) o.loops = 1;

  std::string scenario;
  if (!o.scenario.empty()) {
    std::ifstream in(o.scenario, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "quillark-loopsim: cannot read the scenario %s\n", o.scenario.c_str());
      return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    scenario = text.str();
  }

  QCoreApplication app(argc, argv);
  quillark::QtEventLoop events;
  LoopSimulator sim(events, o.loops, o.baud, o.seed);
  if (o.site.empty())
    sim.AddDetectors(o.detectors);
  else
    sim.AddSite(site);
  if (!scenario.empty()) {
    if (auto error = sim.LoadScenario(scenario); !error.empty()) {
      std::fprintf(stderr, "quillark-loopsim: %s\n", error.c_str());
      return 2;
    }
  }

  std::vector<Pty> ptys(static_cast<std::size_t>(sim.Loops()));
  for (auto& p : ptys) {
    if (!OpenPty(p)) {
      std::fprintf(stderr, "quillark-loopsim: cannot open a pseudo-terminal: %s\n",
                   std::strerror(errno));
      return 1;
    }
  }
  sim.SetWriter([&ptys](int loop, std::string_view bytes) {
    // A full line buffer means nobody reads the line: what does not fit is
    // lost, as on a wire with no receiver.
    [[maybe_unused]] auto n =
        write(ptys[static_cast<std::size_t>(loop)].master, bytes.data(), bytes.size());
  });
  std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
  for (int loop = 0; loop < sim.Loops(); ++loop) {
    const int fd = ptys[static_cast<std::size_t>(loop)].master;
    auto n = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(n.get(), &QSocketNotifier::activated, [&sim, fd, loop] {
      char buf[4096];
      const ssize_t got = read(fd, buf, sizeof buf);
      if (got > 0) sim.Receive(loop, std::string_view(buf, static_cast<std::size_t>(got)));
    });
    notifiers.push_back(std::move(n));
  }

  std::string pending;
  QSocketNotifier console(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&console, &QSocketNotifier::activated, [&] {
    char buf[1024];
    const ssize_t got = read(STDIN_FILENO, buf, sizeof buf);
    if (got <= 0) {
      // No console (end of input): the loops go on until the process is ended.
      console.setEnabled(false);
      return;
    }
    pending.append(buf, static_cast<std::size_t>(got));
    // A line that never ends is not a command.
    if (pending.size() > 4096 && pending.find('\n') == std::string::npos) pending.clear();
    for (auto nl = pending.find('\n'); nl != std::string::npos; nl = pending.find('\n')) {
      std::string line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line == "quit" || line == "exit") {
        Say("bye");
        QCoreApplication::quit();
        return;
      }
      if (const std::string reply = sim.Command(line); !reply.empty()) Say(reply);
    }
  });

  for (int loop = 0; loop < sim.Loops(); ++loop)
    Say("loop " + std::to_string(loop + 1) + ": " + ptys[static_cast<std::size_t>(loop)].path);
  sim.onstep = Say;
  sim.StartScenario();
  Say("ready");
  const int rc = QCoreApplication::exec();
  for (auto& p : ptys) {
    close(p.master);
    close(p.slave);
  }
  return rc;
}
