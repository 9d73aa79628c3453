#pragma once

#include <QString>

namespace miv {

// Whether two file names given to one command name the same file, so that
// writing the second would replace the first. Each name is made absolute,
// "." and ".." are taken out and the links of its folders followed (the file
// itself need not exist yet, and a link to a file not made yet stands for
// that file); the results are compared as the platform
// compares file names: without regard to case on Windows and macOS. Two
// names of files that both exist also name the same file when they lead to
// the very same file (a link to it, a name written in another case on a file
// system that ignores case).
bool namesSameFile(const QString &first, const QString &second);

// The name a write to `path` lands on: a link (and a link to a link) followed
// to its target, also a target not made yet; any other name as it is.
QString followedName(const QString &path);

} // namespace miv
