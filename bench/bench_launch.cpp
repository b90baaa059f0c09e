// From launch to the first drawn frame, as a user meets it: `tarvel FIGURE` is started in a
// fresh process on a private Xvfb server (software OpenGL) and the screen is watched through
// the server's memory-mapped frame buffer (Xvfb -fbdir). The first frame is the first moment
// the viewport (its teal background) shows the figure: at least 90% of the non-background
// pixels inside the viewport that it shows once the picture has settled. Medians of several
// launches for the sample figure and the generated figures of 100 thousand and 1 million
// vertices; the generated figures are written by bench_cold --write-figure.
//
// usage: bench_launch [--runs N] [--app PATH] [--sizes sample,100000,1000000]
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

std::uint32_t Big32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The screen of an Xvfb server, read from its XWD frame-buffer file.
class TScreen {
 public:
  explicit TScreen(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd < 0) return;
    struct stat st {};
    ::fstat(fd, &st);
    size_ = static_cast<std::size_t>(st.st_size);
    void* p = ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED) return;
    data_ = static_cast<const std::uint8_t*>(p);
    const std::uint32_t header = Big32(data_);
    width_ = Big32(data_ + 16);
    height_ = Big32(data_ + 20);
    bitsPerPixel_ = Big32(data_ + 44);
    bytesPerLine_ = Big32(data_ + 48);
    const std::uint32_t colours = Big32(data_ + 76);
    pixels_ = data_ + header + colours * 12;
    if (bitsPerPixel_ != 32 || pixels_ + std::size_t{bytesPerLine_} * height_ > data_ + size_)
      pixels_ = nullptr;
  }
  ~TScreen() {
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
  }
  TScreen(const TScreen&) = delete;
  TScreen& operator=(const TScreen&) = delete;
  bool Ok() const { return pixels_ != nullptr; }

  // Pixels (blue, green, red, x in memory) inside the bounding box of the viewport's
  // background that are not background; -1 when no background shows yet.
  long FigurePixels() const {
    constexpr std::uint32_t kTeal = 0x008080;  // red 0, green 128, blue 128
    std::uint32_t x0 = width_, y0 = height_, x1 = 0, y1 = 0;
    long background = 0;
    for (std::uint32_t y = 0; y < height_; y += 2) {
      const auto* row =
          reinterpret_cast<const std::uint32_t*>(pixels_ + std::size_t{y} * bytesPerLine_);
      for (std::uint32_t x = 0; x < width_; x += 2)
        if ((row[x] & 0xFFFFFF) == kTeal) {
          ++background;
          x0 = std::min(x0, x), x1 = std::max(x1, x);
          y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    }
    if (background < 1000) return -1;
    long figure = 0;
    for (std::uint32_t y = y0; y <= y1; y += 2) {
      const auto* row =
          reinterpret_cast<const std::uint32_t*>(pixels_ + std::size_t{y} * bytesPerLine_);
      for (std::uint32_t x = x0; x <= x1; x += 2)
        if ((row[x] & 0xFFFFFF) != kTeal) ++figure;
    }
    return figure;
  }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  const std::uint8_t* pixels_ = nullptr;
  std::uint32_t width_ = 0, height_ = 0, bitsPerPixel_ = 0, bytesPerLine_ = 0;
};

struct TLaunch {
  double FirstFrameMs = -1;
  long SettledPixels = 0;
};

// One launch: the app on the server's display, the screen polled until the picture has shown
// more than `empty` pixels (what the viewport shows without a figure) and then not changed for
// a second, or 60 s passed. Without a figure, until the viewport has shown for a second.
TLaunch Launch(const std::string& app, const std::string& figure, long empty,
               const std::string& display, const std::string& screenFile) {
  struct TSample {
    double Ms;
    long Pixels;
  };
  std::vector<TSample> samples;
  const auto start = Clock::now();
  std::vector<std::string> argv = {app};
  if (!figure.empty()) argv.push_back(figure);
  const pid_t pid =
      Spawn(argv, {"DISPLAY=" + display, "LIBGL_ALWAYS_SOFTWARE=1", "QT_QPA_PLATFORM=xcb"});
  TScreen screen(screenFile);
  long last = -2;
  double lastChange = 0;
  const long shown = figure.empty() ? 0 : empty + empty / 5 + 500;
  while (screen.Ok()) {
    const double ms = MsSince(start);
    const long pixels = screen.FigurePixels();
    samples.push_back({ms, pixels});
    if (pixels != last) last = pixels, lastChange = ms;
    if ((pixels >= shown && ms - lastChange > 1000) || ms > 60000) break;
    if (::waitpid(pid, nullptr, WNOHANG) == pid) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Stop(pid);
  TLaunch r;
  r.SettledPixels = last;
  if (last < shown) return r;
  const long enough = empty + (last - empty) * 9 / 10;
  for (const TSample& s : samples)
    if (s.Pixels >= enough) {
      r.FirstFrameMs = s.Ms;
      break;
    }
  return r;
}

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string app = TARVEL_APP_PATH;
  std::string cold = TARVEL_BENCH_COLD_PATH;
  std::string sample = TARVEL_SAMPLE_FIGURE;
  std::vector<std::string> sizes = {"sample", "100000", "1000000"};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--app" && i + 1 < argc) {
      app = argv[++i];
    } else if (a == "--sizes" && i + 1 < argc) {
      sizes.clear();
      std::string list = argv[++i];
      for (std::size_t at = 0; at <= list.size();) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        sizes.push_back(list.substr(at, comma - at));
        at = comma + 1;
      }
    } else {
      std::fprintf(stderr, "usage: bench_launch [--runs N] [--app PATH] [--sizes sample,100000]\n");
      return 1;
    }
  }
  const fs::path dir = fs::temp_directory_path() / ("tarvel-launch-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  // A display number of our own.
  int number = 90 + static_cast<int>(::getpid() % 100);
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number))) ++number;
  const std::string display = ":" + std::to_string(number);
  const pid_t server = Spawn({"/usr/bin/Xvfb", display, "-screen", "0", "1280x1024x24", "-fbdir",
                              dir.string(), "-nolisten", "tcp", "+extension", "GLX"},
                             {});
  for (int i = 0; i < 500 && !fs::exists("/tmp/.X11-unix/X" + std::to_string(number)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::string screenFile = (dir / "Xvfb_screen0").string();

  // What the viewport shows without a figure: the ground and the axes.
  const long empty = std::max(0L, Launch(app, "", 0, display, screenFile).SettledPixels);
  std::printf("Launch to first drawn frame under Xvfb, software OpenGL (medians of %d)\n", runs);
  std::printf("  %-12s %14s %16s\n", "figure", "first frame ms", "figure pixels");
  for (const std::string& size : sizes) {
    std::string figure = sample;
    if (size != "sample") {
      figure = (dir / ("figure-" + size + ".obj")).string();
      const pid_t w = Spawn({cold, "--write-figure", size, figure}, {});
      ::waitpid(w, nullptr, 0);
    }
    std::vector<double> times;
    long pixels = 0;
    for (int i = 0; i < runs; ++i) {
      const TLaunch l = Launch(app, figure, empty, display, screenFile);
      if (l.FirstFrameMs >= 0) times.push_back(l.FirstFrameMs);
      pixels = l.SettledPixels;
    }
    std::printf(
        "  %-12s %14.0f %16ld%s\n", size.c_str(), Median(times), pixels,
        times.size() < static_cast<std::size_t>(runs) ? "  (some launches showed nothing)" : "");
    std::fflush(stdout);
  }
  Stop(server);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
