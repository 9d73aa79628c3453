#pragma once

#include <QString>

namespace miv {

// Whether two file names given to one command name the same file, so that
// writing the second would replace the first. Each name is made absolute,
// "." and ".." are taken out and the links of its folders followed (the file
// itself need not exist yet); the results are compared as the platform
// compares file names: without regard to case on Windows and macOS. Two
// names of files that both exist also name the same file when they lead to
// the very same file (a link to it, a name written in another case on a file
// system that ignores case).
bool namesSameFile(const QString &first, const QString &second);

} // namespace miv
