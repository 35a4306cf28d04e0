// Start-up is timed in a fresh process: the benchmark program runs itself again with this
// option, and the child starts the viewer or a bare dialog and prints the seconds it took.
#pragma once

constexpr const char* kFirstPaintOption = "--first-paint=";

// which: "viewer", "twin", "bare" or "text". Returns the process's exit code.
int FirstPaintChild(const char* which, int argc, char** argv);

// Runs the viewer's dialog built straight from Qt widgets until it is closed; whether the
// sheet was loaded.
bool RunQtTwin();
