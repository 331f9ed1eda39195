// setup_bench: the whole installation of the setup timed inside the process, step by
// step, against the bare unpack of the same archive by the packer alone, on generated
// archives of many small files and of a few large ones. Each repetition installs into
// a fresh installation root and unpacks into a fresh folder, the two in turns.
//
//   setup_bench.exe --work C:\qvr-bench [--reps 7] [--archives small,large]
//                   [--small 4000x8192] [--large 8x128] [--probe]
//
// --small gives files x bytes, --large files x MiB. --probe times the window system's
// calls that the message pump makes, with no installation. Run it through
// bench/setup/run.py (make bench-setup), which builds it and gives it a Wine prefix.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "BenchArchives.h"
#include "InstallTimer.h"
#include "framework/Application.h"

namespace qvr::bench {
namespace {

struct Options {
  std::string work;
  int reps = 7;
  std::vector<ArchiveShape> archives;
  bool probe = false;
};

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr,
               "setup_bench: %s\n"
               "usage: setup_bench.exe --work FOLDER [--reps N] [--archives small,large]\n"
               "                       [--small FILESxBYTES] [--large FILESxMIB] [--probe]\n",
               problem);
  std::exit(2);
}

// "4000x8192" as files and size; the size times `unit`.
void ParseShape(const char* text, std::uint32_t unit, ArchiveShape& shape) {
  unsigned files = 0;
  unsigned size = 0;
  if (std::sscanf(text, "%ux%u", &files, &size) != 2 || files == 0 || size == 0 ||
      size > 0x7FFFFFFFu / unit) {
    Usage("a shape is FILESxSIZE, for example 4000x8192");
  }
  shape.files = static_cast<int>(files);
  shape.fileSize = size * unit;
}

Options Parse(int argc, char** argv) {
  Options o;
  ArchiveShape small{"small", 4000, 8192, 100};
  ArchiveShape large{"large", 8, 128u << 20, 8};
  std::string chosen = "small,large";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--probe") {
      o.probe = true;
      continue;
    }
    if (value == nullptr) Usage(("missing value of " + arg).c_str());
    ++i;
    if (arg == "--work") {
      o.work = value;
    } else if (arg == "--reps") {
      o.reps = std::max(1, std::atoi(value));
    } else if (arg == "--archives") {
      chosen = value;
    } else if (arg == "--small") {
      ParseShape(value, 1, small);
    } else if (arg == "--large") {
      ParseShape(value, 1u << 20, large);
    } else {
      Usage(("unknown option " + arg).c_str());
    }
  }
  if (o.work.empty()) Usage("--work is required");
  if (!o.work.empty() && o.work.back() != '\\') o.work.push_back('\\');
  if (chosen.find("small") != std::string::npos) o.archives.push_back(small);
  if (chosen.find("large") != std::string::npos) o.archives.push_back(large);
  return o;
}

struct Spread {
  double median = 0;
  double low = 0;
  double high = 0;
};

Spread SpreadOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  return {median, values.front(), values.back()};
}

// One row of the table: a figure per repetition and, where it counts calls, how many.
struct Row {
  const char* name;
  std::function<double(const InstallTimes&, double bare)> value;
  std::function<int(const InstallTimes&)> count;
  bool ratio = false;
};

double StepOf(const InstallTimes& t, InstallStep step) {
  return t.step[static_cast<std::size_t>(step)];
}

// The installation less the fixed costs that do not grow with the archive.
double WithoutFixedCosts(const InstallTimes& t) {
  return t.whole - StepOf(t, InstallStep::Shortcut) - StepOf(t, InstallStep::FinalMessage);
}

std::vector<Row> Rows() {
  auto step = [](InstallStep s) {
    return [s](const InstallTimes& t, double) { return StepOf(t, s); };
  };
  return {
      {"installing state", step(InstallStep::InstallingState), nullptr},
      {"existence test", step(InstallStep::ExistenceTest), nullptr},
      {"archive read through", step(InstallStep::ArchiveCheck), nullptr},
      {"  per mille of the bare unpack",
       [](const InstallTimes& t, double bare) {
         return 1000 * StepOf(t, InstallStep::ArchiveCheck) / bare;
       },
       nullptr, true},
      {"tree checked", step(InstallStep::TreeCheck), nullptr},
      {"tree secured, earlier aside", step(InstallStep::Protection), nullptr},
      {"unpack", step(InstallStep::Unpack), nullptr},
      {"  file work",
       [](const InstallTimes& t, double) {
         return StepOf(t, InstallStep::Unpack) - t.events - t.paints - t.pumps;
       },
       nullptr},
      {"  progress events", [](const InstallTimes& t, double) { return t.events; },
       [](const InstallTimes& t) { return t.eventCount; }},
      {"  message pumps", [](const InstallTimes& t, double) { return t.pumps; },
       [](const InstallTimes& t) { return t.pumpCount; }},
      {"  bar paints", [](const InstallTimes& t, double) { return t.paints; },
       [](const InstallTimes& t) { return t.paintCount; }},
      {"    copies to the window", [](const InstallTimes& t, double) { return t.presenting; },
       nullptr},
      {"earlier installation kept", step(InstallStep::Finish), nullptr},
      {"fonts", step(InstallStep::Fonts), nullptr},
      {"shortcut", step(InstallStep::Shortcut), nullptr},
      {"final message until shown", step(InstallStep::FinalMessage), nullptr},
      {"whole installation", [](const InstallTimes& t, double) { return t.whole; }, nullptr},
      {"  without shortcut and box",
       [](const InstallTimes& t, double) { return WithoutFixedCosts(t); }, nullptr},
      {"bare unpack (packer alone)", [](const InstallTimes&, double bare) { return bare; },
       nullptr},
      {"ratio installation / bare",
       [](const InstallTimes& t, double bare) { return WithoutFixedCosts(t) / bare; }, nullptr,
       true},
      {"ratio whole / bare", [](const InstallTimes& t, double bare) { return t.whole / bare; },
       nullptr, true},
  };
}

void PrintTable(const ArchiveShape& shape, const std::vector<InstallTimes>& installs,
                const std::vector<double>& bares) {
  std::printf("\n%s: %d files of %u bytes, %zu repetitions (%d-bit build)\n", shape.name.c_str(),
              shape.files, shape.fileSize, installs.size(), static_cast<int>(sizeof(void*) * 8));
  std::printf("%-30s %10s %21s %8s\n", "step", "median", "min - max", "calls");
  for (const Row& row : Rows()) {
    std::vector<double> values;
    for (std::size_t i = 0; i < installs.size(); ++i)
      values.push_back(row.value(installs[i], bares[i]));
    const Spread s = SpreadOf(values);
    const double scale = row.ratio ? 1 : 1000;
    const char* unit = row.ratio ? "  " : "ms";
    std::printf("%-30s %8.*f%s %9.*f - %7.*f%s", row.name, row.ratio ? 2 : 1, s.median * scale,
                unit, row.ratio ? 2 : 1, s.low * scale, row.ratio ? 2 : 1, s.high * scale, unit);
    if (row.count) std::printf(" %8d", row.count(installs.front()));
    if (std::strcmp(row.name, "  message pumps") == 0) {
      std::vector<double> medians;
      for (const InstallTimes& t : installs) medians.push_back(t.medianPump);
      std::printf("  (median %.1f us; %d bar paints inside)", SpreadOf(medians).median * 1e6,
                  installs.front().pumpPaintCount);
    }
    std::printf("\n");
  }
  std::fflush(stdout);
}

// Folder `name` of `work`, new and empty, with the folders the installation and the bare
// unpack need; returns its path. Released at once: held folders cannot be removed.
std::string FreshRun(Folder& work) {
  const std::unique_ptr<Folder> run = FreshFolder(work, "run");
  for (const char* name : {"drive", "fonts", "bare"}) {
    if (!run->CreateFolder(name)) {
      throw std::runtime_error("cannot make the folders of a run in " + work.Path());
    }
  }
  return run->Path();
}

// The work folder, made where it is missing (its parent must be there).
std::unique_ptr<Folder> OpenWork(FileSystem& fs, const std::string& work) {
  if (Result<std::unique_ptr<Folder>> folder = fs.OpenFolder(work)) return folder.Take();
  const std::string path = work.substr(0, work.size() - 1);
  const std::size_t cut = path.rfind('\\');
  Result<std::unique_ptr<Folder>> parent = cut == std::string::npos
                                               ? Refusal("open", path, FileReason::NotFound)
                                               : fs.OpenFolder(path.substr(0, cut + 1));
  Result<std::unique_ptr<Folder>> folder =
      parent ? (*parent)->CreateFolder(path.substr(cut + 1)) : parent.TakeError();
  if (!folder) throw std::runtime_error("cannot make the work folder: " + folder.Error().Message());
  return folder.Take();
}

void Benchmark(const Options& o) {
  FileSystem& fs = SystemFileSystem();
  Win32Backend backend;
  const std::unique_ptr<Folder> work = OpenWork(fs, o.work);
  if (o.probe) {
    ProbeMessageCalls(backend);
    ProbeFileCalls(fs, *work);
    return;
  }
  for (const ArchiveShape& shape : o.archives) {
    const std::string setupFolder = PrepareArchive(fs, o.work, shape);
    std::vector<InstallTimes> installs;
    std::vector<double> bares;
    // One round before the counted ones: the first window, COM and the shell's link
    // object start once per process.
    for (int rep = -1; rep < o.reps; ++rep) {
      const std::string run = FreshRun(*work);
      SetInstallPaths(setupFolder, run);
      const std::string archive = setupFolder + "QVRKDV2.QVP";
      // Each tree goes as soon as it is timed, so that the next one does not wait for
      // the disk to take the first: never more than one archive's bytes unwritten.
      const auto removed = [&work, &run](const char* name) {
        Result<std::unique_ptr<Folder>> folder = work->OpenFolder("run");
        if (!folder || !(*folder)->RemoveTree(name)) {
          throw std::runtime_error("cannot remove " + run + name);
        }
      };
      InstallTimes install;
      double bare = 0;
      // In turns, so that a disturbance of the disk hits both alike.
      for (int turn = 0; turn < 2; ++turn) {
        if ((turn + rep) % 2 == 0) {
          bare = TimedBareUnpack(fs, archive, run + "bare\\");
          removed("bare");
        } else {
          install = TimedInstall(backend);
          removed("drive");
        }
      }
      if (!work->RemoveTree("run")) throw std::runtime_error("cannot remove " + run);
      if (rep < 0) continue;
      installs.push_back(install);
      bares.push_back(bare);
      std::printf("  %s %d: installation %.1f ms, bare unpack %.1f ms\n", shape.name.c_str(),
                  rep + 1, install.whole * 1000, bare * 1000);
      std::fflush(stdout);
    }
    PrintTable(shape, installs, bares);
  }
}

}  // namespace
}  // namespace qvr::bench

int main(int argc, char** argv) {
  const qvr::bench::Options options = qvr::bench::Parse(argc, argv);
  try {
    qvr::bench::Benchmark(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "setup_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
