// From launch to the first drawn frame, as a user meets it: `tarvel FIGURE` is started in a
// fresh process on a private Xvfb server (software OpenGL) and the screen is watched through
// the server's memory-mapped frame buffer (Xvfb -fbdir). The first frame is the first moment
// the viewport (the box of its teal background in the empty window) differs from the empty
// scene in at least 90% of the pixels it differs in once the picture has settled. Medians of
// several launches for the sample figure and the generated figures of 100 thousand and 1 million
// vertices; the generated figures are written by bench_cold --write-figure. Beside each time,
// the median peak resident memory of the window's process up to the settled picture.
//
// usage: bench_launch [--runs N] [--app PATH] [--baseline PATH] [--sizes sample,100000,1000000]
// With --baseline, another build of the window (an earlier version) is launched round robin
// with this one and the ratios of the first-frame times are printed.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
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

// Ends the process and returns its peak resident memory in MiB (0 when unknown).
double Stop(pid_t pid) {
  if (pid <= 0) return 0;
  ::kill(pid, SIGTERM);
  struct rusage usage {};
  for (int i = 0; i < 200; ++i) {
    if (::wait4(pid, nullptr, WNOHANG, &usage) == pid) return usage.ru_maxrss / 1024.0;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::wait4(pid, nullptr, 0, &usage);
  return usage.ru_maxrss / 1024.0;
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

  // Every second pixel of every second row, as 0xRRGGBB.
  std::vector<std::uint32_t> Sample() const {
    std::vector<std::uint32_t> out;
    out.reserve(std::size_t{width_ / 2 + 1} * (height_ / 2 + 1));
    for (std::uint32_t y = 0; y < height_; y += 2) {
      const auto* row =
          reinterpret_cast<const std::uint32_t*>(pixels_ + std::size_t{y} * bytesPerLine_);
      for (std::uint32_t x = 0; x < width_; x += 2) out.push_back(row[x] & 0xFFFFFF);
    }
    return out;
  }
  std::uint32_t SampleWidth() const { return (width_ + 1) / 2; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  const std::uint8_t* pixels_ = nullptr;
  std::uint32_t width_ = 0, height_ = 0, bitsPerPixel_ = 0, bytesPerLine_ = 0;
};

struct TLaunch {
  double FirstFrameMs = -1;
  double PeakMiB = 0;  // peak resident memory of the window's process, up to the settled picture
  long SettledPixels = 0;              // viewport samples that differ from the empty scene
  std::vector<std::uint32_t> Settled;  // the last frame
};

// The viewport: the bounding box of its teal background in a sampled frame.
struct TBox {
  std::uint32_t X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
  bool Found = false;
};

TBox ViewportOf(const std::vector<std::uint32_t>& frame, std::uint32_t width) {
  constexpr std::uint32_t kTeal = 0x008080;  // red 0, green 128, blue 128
  TBox box{width, static_cast<std::uint32_t>(frame.size() / width), 0, 0, false};
  long count = 0;
  for (std::size_t i = 0; i < frame.size(); ++i)
    if (frame[i] == kTeal) {
      const auto x = static_cast<std::uint32_t>(i % width),
                 y = static_cast<std::uint32_t>(i / width);
      box.X0 = std::min(box.X0, x), box.X1 = std::max(box.X1, x);
      box.Y0 = std::min(box.Y0, y), box.Y1 = std::max(box.Y1, y);
      ++count;
    }
  box.Found = count >= 1000;
  return box;
}

// Samples of the viewport in `frame` that differ from the empty scene; 0 until the viewport
// shows (a third of the background the empty scene shows there is teal again).
long Differing(const std::vector<std::uint32_t>& frame, const std::vector<std::uint32_t>& empty,
               const TBox& box, std::uint32_t width) {
  constexpr std::uint32_t kTeal = 0x008080;
  if (frame.size() != empty.size()) return 0;
  long n = 0, teal = 0, emptyTeal = 0;
  for (std::uint32_t y = box.Y0; y <= box.Y1; ++y)
    for (std::uint32_t x = box.X0; x <= box.X1; ++x) {
      const std::size_t i = std::size_t{y} * width + x;
      if (frame[i] != empty[i]) ++n;
      teal += frame[i] == kTeal;
      emptyTeal += empty[i] == kTeal;
    }
  return 3 * teal >= emptyTeal ? n : 0;
}

// One launch: the app on the server's display, the screen polled until the picture has not
// changed for a second after showing the viewport (without a figure) or after the viewport
// came to differ from the empty scene `empty` (with one), or 60 s passed. The first frame is
// the first sample in which the viewport differs from the empty scene in at least 90% of the
// samples it differs in at the end.
TLaunch Launch(const std::string& app, const std::string& figure,
               const std::vector<std::uint32_t>& empty, const TBox& box, const std::string& display,
               const std::string& screenFile) {
  struct TSample {
    double Ms;
    long Differing;
  };
  std::vector<TSample> samples;
  const auto start = Clock::now();
  std::vector<std::string> argv = {app};
  if (!figure.empty()) argv.push_back(figure);
  const pid_t pid =
      Spawn(argv, {"DISPLAY=" + display, "LIBGL_ALWAYS_SOFTWARE=1", "QT_QPA_PLATFORM=xcb"});
  TScreen screen(screenFile);
  TLaunch r;
  std::vector<std::uint32_t> last;
  double lastChange = 0;
  while (screen.Ok()) {
    const double ms = MsSince(start);
    std::vector<std::uint32_t> frame = screen.Sample();
    if (frame != last) last.swap(frame), lastChange = ms;
    const bool shown =
        figure.empty()
            ? ViewportOf(last, screen.SampleWidth()).Found
            : (samples.push_back({ms, Differing(last, empty, box, screen.SampleWidth())}),
               samples.back().Differing >= 300);
    if ((shown && ms - lastChange > 1000) || ms > 60000) break;
    siginfo_t ended{};
    // Gone: left for Stop to reap, which reads its memory.
    if (::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        ended.si_pid == pid)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  r.PeakMiB = Stop(pid);
  r.Settled = last;
  if (samples.empty()) return r;
  r.SettledPixels = samples.back().Differing;
  if (r.SettledPixels < 300) return r;
  for (const TSample& s : samples)
    if (s.Differing >= r.SettledPixels * 9 / 10) {
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
  std::string baseline;
  std::string cold = TARVEL_BENCH_COLD_PATH;
  std::string sample = TARVEL_SAMPLE_FIGURE;
  std::vector<std::string> sizes = {"sample", "100000", "1000000"};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--app" && i + 1 < argc) {
      app = argv[++i];
    } else if (a == "--baseline" && i + 1 < argc) {
      baseline = argv[++i];
    } else if (a == "--sizes" && i + 1 < argc) {
      sizes.clear();
      std::string list = argv[++i];
      for (std::size_t at = 0; at <= list.size();) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        sizes.push_back(list.substr(at, comma - at));
        at = comma + 1;
      }
    } else {
      std::fprintf(
          stderr, "usage: bench_launch [--runs N] [--app PATH] [--baseline PATH] [--sizes LIST]\n");
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

  // What the window shows without a figure: the empty scene, and where the viewport is.
  std::vector<std::uint32_t> empty;
  TBox box;
  for (int attempt = 0; attempt < 3 && !box.Found; ++attempt) {
    empty = Launch(app, "", {}, {}, display, screenFile).Settled;
    const TScreen screen(screenFile);
    if (screen.Ok() && !empty.empty()) box = ViewportOf(empty, screen.SampleWidth());
  }
  if (!box.Found) {
    std::fprintf(stderr, "bench_launch: the window showed no viewport\n");
    Stop(server);
    return 1;
  }
  std::printf("Launch to first drawn frame under Xvfb, software OpenGL (medians of %d)\n", runs);
  std::printf("  %-12s %14s %16s %9s", "figure", "first frame ms", "changed samples", "peak MiB");
  if (!baseline.empty())
    std::printf(" %14s %8s %9s %8s", "baseline ms", "ratio", "peak MiB", "ratio");
  std::printf("\n");
  for (const std::string& size : sizes) {
    std::string figure = sample;
    if (size != "sample") {
      figure = (dir / ("figure-" + size + ".obj")).string();
      const pid_t w = Spawn({cold, "--write-figure", size, figure}, {});
      ::waitpid(w, nullptr, 0);
    }
    std::vector<double> times, baseTimes, peaks, basePeaks;
    long pixels = 0;
    bool missed = false;
    for (int i = 0; i < runs; ++i) {
      const TLaunch l = Launch(app, figure, empty, box, display, screenFile);
      if (l.FirstFrameMs >= 0) times.push_back(l.FirstFrameMs);
      peaks.push_back(l.PeakMiB);
      missed = missed || l.FirstFrameMs < 0;
      pixels = l.SettledPixels;
      if (baseline.empty()) continue;
      const TLaunch b = Launch(baseline, figure, empty, box, display, screenFile);
      if (b.FirstFrameMs >= 0) baseTimes.push_back(b.FirstFrameMs);
      basePeaks.push_back(b.PeakMiB);
      missed = missed || b.FirstFrameMs < 0;
    }
    std::printf("  %-12s %14.0f %16ld %9.0f", size.c_str(), Median(times), pixels, Median(peaks));
    if (!baseline.empty())
      std::printf(" %14.0f %8.2f %9.0f %8.2f", Median(baseTimes), Median(times) / Median(baseTimes),
                  Median(basePeaks), Median(peaks) / Median(basePeaks));
    std::printf("%s\n", missed ? "  (some launches showed nothing)" : "");
    std::fflush(stdout);
  }
  Stop(server);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return 0;
}
