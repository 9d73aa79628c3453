#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Running the project's own programs from tests.

// The folder of the built programs: MIV_BIN_DIR (set for every test by
// miv_add_test), else the folder of the running test executable.
QString programDirectory();
// The full path of a built program, e.g. programPath("mivctl").
QString programPath(const QString &name);

struct ProgramResult
{
    bool started = false; // false: the program could not be run at all
    bool finished = false; // false: killed after the time-out
    int exitCode = -1; // valid when finished and not crashed
    bool crashed = false;
    QString standardOutput; // UTF-8 decoded
    QString standardError;
};

// Runs a program to its end (or kills it after timeoutMs) and captures its
// output. `input` is written to its standard input, which is then closed.
ProgramResult runProgram(const QString &program, const QStringList &arguments,
                         int timeoutMs = 60000, const QByteArray &input = {},
                         const QString &workingDirectory = {});

// runProgram for build/bin/mivctl.
ProgramResult runMivctl(const QStringList &arguments, int timeoutMs = 60000,
                        const QByteArray &input = {}, const QString &workingDirectory = {});
