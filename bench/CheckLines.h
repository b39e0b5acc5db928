#pragma once

// What the reliability runs share: one printed line per check, and the program they run.

#include <cstdio>
#include <filesystem>
#include <string>

namespace Bench {

/// Whether every check reported so far passed.
inline bool allPassed = true;

/// Prints one check's line, "ok" or "FAIL" first, and remembers a failure.
inline void Report(bool passed, const char* format, auto... values)
{
    std::printf("%s  ", passed ? "ok  " : "FAIL");
    std::printf(format, values...);
    std::printf("\n");
    std::fflush(stdout);
    allPassed = allPassed && passed;
}

/// The program named on the command line, else the tolvane beside this executable.
inline std::string ProgramToRun(int argc, char** argv)
{
    std::string program = argc > 1 ? argv[1] : "";
    if (program.empty())
        program = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tolvane").string();
    return program;
}

} // namespace Bench
