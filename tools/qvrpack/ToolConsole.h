// What the archive tool needs from the console and the process, per platform.
#pragma once

#include <string>
#include <vector>

namespace qvr::tool {

// True while standard error is an interactive terminal (a progress bar makes sense).
bool StderrIsTerminal();

// Makes the console show the tool's UTF-8 output (German status texts, paths with
// umlauts) correctly for the lifetime of the process.
void PrepareConsole();

// The command-line arguments after the program name, in UTF-8.
std::vector<std::string> Arguments(int argc, char** argv);

// `path` made absolute against the current folder, with "." and ".." resolved; a
// trailing delimiter is kept.
std::string AbsolutePath(const std::string& path);

}  // namespace qvr::tool
