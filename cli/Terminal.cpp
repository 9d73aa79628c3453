#include "cli/Terminal.h"

#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>

#ifdef Q_OS_WIN
#  include <io.h>
#  include <windows.h>
#else
#  include <termios.h>
#  include <unistd.h>
#endif

namespace miv::cli {

namespace {

// One line of standard input without its end; nullopt at the end of input
// before anything was typed.
std::optional<QString> readLine()
{
    std::string line;
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n')
        line.push_back(char(c));
    if (c == EOF && line.empty())
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
}

#ifndef Q_OS_WIN

// What the terminal was set to before echo was turned off, for the signal
// handler that ends the program meanwhile.
termios savedSettings;
constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreEchoAndEnd(int signal)
{
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Echo off from construction to destruction.
class EchoOff
{
public:
    EchoOff()
    {
        if (tcgetattr(STDIN_FILENO, &savedSettings) != 0)
            return;
        struct sigaction action
        { };
        action.sa_handler = restoreEchoAndEnd;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(endingSignals); ++i)
            sigaction(endingSignals[i], &action, &m_previous[i]);
        termios quiet = savedSettings;
        quiet.c_lflag &= tcflag_t(~ECHO);
        m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        m_handlers = true;
    }
    ~EchoOff()
    {
        if (m_active)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
        if (m_handlers)
            for (size_t i = 0; i < std::size(endingSignals); ++i)
                sigaction(endingSignals[i], &m_previous[i], nullptr);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    struct sigaction m_previous[std::size(endingSignals)]{};
    bool m_active = false;
    bool m_handlers = false;
};

#else

// Echo off from construction to destruction. The console gets its mode back
// from the shell should the program be ended meanwhile.
class EchoOff
{
public:
    EchoOff() : m_input(GetStdHandle(STD_INPUT_HANDLE))
    {
        if (GetConsoleMode(m_input, &m_mode))
            m_active = SetConsoleMode(m_input, m_mode & ~DWORD(ENABLE_ECHO_INPUT)) != 0;
    }
    ~EchoOff()
    {
        if (m_active)
            SetConsoleMode(m_input, m_mode);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    HANDLE m_input;
    DWORD m_mode = 0;
    bool m_active = false;
};

#endif

} // namespace

bool standardInputIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin)) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

bool ProcessTerminal::interactive() const
{
    return standardInputIsTerminal();
}

std::optional<QString> ProcessTerminal::readSecret(const QString &prompt)
{
    std::optional<QString> line;
    {
        // Off before the prompt shows: nothing typed after it is echoed.
        const EchoOff quiet;
        m_err << prompt << Qt::flush;
        line = readLine();
    }
    // The Enter that ended the line was not echoed either.
    m_err << Qt::endl;
    return line;
}

} // namespace miv::cli
