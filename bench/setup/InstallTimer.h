// One timed installation through the real install dialog on the Win32 window backend,
// and one timed bare unpack of the same archive by the packer alone.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/win32/Win32Backend.h"
#include "platform/FileSystem.h"
#include "setup/UnitInstall.h"

namespace qvr::bench {

inline constexpr std::size_t kStepCount = static_cast<std::size_t>(InstallStep::FinalMessage) + 1;

// Seconds, from the click on "Install >>" until the final message is shown.
struct InstallTimes {
  std::array<double, kStepCount> step{};  // from each step's start to the next's
  double whole = 0;
  // Inside the unpack, as the packer's events and pump see it. A progress event that
  // changed the bar's value counts as a bar paint, the others as progress events.
  double events = 0;
  double paints = 0;
  double pumps = 0;
  int eventCount = 0;
  int paintCount = 0;
  int pumpCount = 0;
  double medianPump = 0;  // the median of the pumps' durations
  // Of all bar paints, the copies of the finished bar to the window.
  double presenting = 0;
  // Bar paints that the dialog's own repaints caused inside the pumps.
  int pumpPaintCount = 0;
};

// The installation paths, all below `run` (ending with a backslash): a drive folder
// holding the installation root and a folder standing for the Windows fonts.
void SetInstallPaths(const std::string& setupFolder, const std::string& run);

// Shows a new install dialog, lets it paint, clicks "Install >>" and answers the final
// message with "Nein". Throws when another box appears or the final message does not.
InstallTimes TimedInstall(Win32Backend& backend);

// Prints what each call that a message pump may make costs here, on an empty queue with
// the install dialog shown: microseconds per call, the median of five rounds.
void ProbeMessageCalls(Win32Backend& backend);

// Prints what the file system's calls cost in a folder below `work`.
void ProbeFileCalls(FileSystem& fs, Folder& work);

// Seconds the packer alone takes to unpack `archive` into the folder `target`.
double TimedBareUnpack(FileSystem& fs, const std::string& archive, const std::string& target);

}  // namespace qvr::bench
