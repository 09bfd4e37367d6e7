// What the host does when a person, not a browser, starts it: "--diagnose"
// ["--json"] checks the installation; with no arguments and input that is
// not a pipe it says so in one line before it exits as always.
#pragma once

// True when the command line was the check's: *exit_code is then the
// program's exit code. False for every browser start.
bool RunConsoleStart(int argc, wchar_t** argv, int* exit_code);
