// Writing a tool's OUTPUT so that a failure never leaves a half-written file behind.
#pragma once

#include <span>
#include <string>

// Writes bytes to path:
// - a regular file, or a name that does not exist yet, is replaced at once by a complete new
//   file (written beside it and renamed over it); a replaced file keeps its permission bits,
//   without setuid, setgid and sticky; nothing of the new file is left when the tool is
//   stopped (SIGINT, SIGTERM, SIGHUP; where the file system has unnamed files, even SIGKILL);
// - a symbolic link keeps pointing where it did: the file at the end of its chain gets the
//   bytes, by the same rule (so a link to a file not yet made makes that file);
// - anything else that is not a regular file (a pipe, a terminal, /dev/null) is written in
//   place, since it cannot be replaced.
// False when the bytes could not all be written; a regular file is then as it was.
bool WriteOutputFile(const std::string& path, std::span<const unsigned char> bytes);
