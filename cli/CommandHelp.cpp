#include "cli/CommandHelp.h"

namespace miv::cli {

namespace {

struct HelpText
{
    const char *command;
    const char *text; // UTF-8
};

// Written for a reader at a shell: plain sentences, no markup, so that the
// manual page can carry them word for word.
constexpr HelpText helpTexts[] = {
        {"help",
         "Without an argument, prints the options and the usage of every command.\n"
         "With a command's name, prints that command's usage and what it does."},
        {"ports",
         "Prints the serial ports present, one per line: name, device, description and\n"
         "the stable name (a /dev/serial/by-id link on Linux, \"-\" when there is none),\n"
         "separated by tabs. The stable name stays the same when the adapter is plugged\n"
         "in again: give it to --port. Pseudo-terminals are not listed; --port takes\n"
         "their device path all the same."},
        {"scan",
         "Asks bus addresses 1 to 32 and prints the 32 lines of the device list, one\n"
         "per address: \"Устройство №N в сети\" or \"Связи с устройством №N нет\". Each\n"
         "address is asked with the short scan wait (--scan-wait); a relay that answers\n"
         "late is asked once more with the patient wait before the list is printed."},
        {"info",
         "Identifies the relay at ADDR and prints its identification lines: the\n"
         "device, the factory number and software version, the address and the\n"
         "interface settings."},
        {"interface",
         "Reads the relay's interface word (register 65) and, with --baud, --parity or\n"
         "--stop-bits, changes it as the window's port setup does: the options put over\n"
         "the port's settings name what the relay is to run at; only the speed, parity\n"
         "and stop-bit bits of its word are replaced, every other bit (the data bits,\n"
         "the 4800 bit/s bit while it stays at 4800) is kept. A setting the word cannot\n"
         "say (a speed other than 9600, 19200 or 38400 bit/s, but for a relay at 4800\n"
         "kept at 4800; mark or space parity; 1.5 stop bits; other data bits than the\n"
         "relay's) is refused with exit status 2 before anything is written. The word\n"
         "is printed before and after as\n"
         "before or after<TAB>0xWORD<TAB>speed<TAB>parity<TAB>data bits<TAB>stop bits;\n"
         "without an option only before, and nothing is written. The write goes\n"
         "out at the port's settings and is in the audit log; stderr then names the\n"
         "settings the relay answers at, front.ini is left as it is. A write the relay\n"
         "does not answer is followed by a read at the old settings and at the new ones,\n"
         "and stderr tells where the relay is. Exit status 3 when the relay refuses the\n"
         "write, 1 when it cannot be reached."},
        {"config",
         "config read prints the relay's 34 settings as row<TAB>name<TAB>value, the\n"
         "value as the window's column \"Значение\" shows it; --save also writes them to\n"
         "a settings file. With several addresses and --save-dir, each answering\n"
         "relay's settings go to DIR/relay-ADDR.miv and one line per address tells\n"
         "ADDR<TAB>saved<TAB>file or ADDR<TAB>no link<TAB>reason.\n"
         "config write loads the settings file (a file with invalid values, or with\n"
         "neither section, is refused), unlocks the relay with the password, writes\n"
         "exactly the rows that differ and their switch words, prints\n"
         "written<TAB>row<TAB>name<TAB>value for each (refused, unchanged and\n"
         "switched-off lines for the others, switched-off for a row whose function is\n"
         "off, left as the relay holds it), then for a type-6 relay the file's timer\n"
         "as written<TAB>timer<TAB>key<TAB>value (unchanged when the relay holds it\n"
         "already, one left line when the file has none), and then the settings read\n"
         "back. --approved writes instead exactly the relay's approved settings from\n"
         "the register (also to a relay in service); when the read-back holds them it\n"
         "is signed applied and verified, \"выполнено\", else exit status 4.\n"
         "The password comes from --password-file, MIV_PASSWORD or the terminal\n"
         "(--password too, readable by every user: see PASSWORDS). Ctrl+C lets the\n"
         "write under way finish, sends nothing more, tells what was written and what\n"
         "was not and ends with exit status 130. With several addresses each relay is\n"
         "identified, read, unlocked and written on a session of its own; a relay\n"
         "that fails any step is refused and gets nothing. One line per relay:\n"
         "ADDR<TAB>written, refused, no link or stopped<TAB>reason.\n"
         "config diff compares the relay's settings with a settings file without\n"
         "loading it: one line per difference, row<TAB>name<TAB>relay value<TAB>file\n"
         "value (\"(нет в файле)\" for a key the file lacks, \"(не принимается: TEXT)\"\n"
         "for a value loading would refuse). Exit status 0 when equal, 4 when\n"
         "different, 3 when the file cannot be read.\n"
         "config sheet reads the relay's settings and writes its settings sheet (the\n"
         "header with the relay, one line per parameter with its value and allowed\n"
         "range, the timer of a type-6 relay, lines for who set it up and who checked\n"
         "it) as an Excel 97 workbook (--xls), a PDF (--pdf) or a CSV (--csv), any of\n"
         "the three; \"-\" names standard output when only one is given. It needs no\n"
         "password. Two outputs naming one file, or an output naming the input, are\n"
         "refused before anything is read; every output is checked before the first\n"
         "is written, so that one that cannot be written leaves all as they were. A\n"
         "device or a pipe (/dev/null, a FIFO) is written into; a folder or any other\n"
         "file that is not a regular one is refused."},
        {"settings",
         "A settings file with no relay at hand, for a relay of type 4 or 6 (--type).\n"
         "settings show prints its rows as config read does. settings set changes\n"
         "rows given as ROW=VALUE, ROW the row number or the parameter's exact name,\n"
         "VALUE as the grid shows it (a comma or a point as the separator; \"вкл.\" or\n"
         "\"откл.\" for a switch; on type 6 also Метка1 to Метка5=HH:MM, Таймер and\n"
         "Интервал1 to Интервал6). Every value is checked as the window's editor\n"
         "checks it, all of them together: one refused value refuses the call with\n"
         "exit status 3, naming the row, the value and its limits, and the file stays\n"
         "as it was. settings sheet writes the file's settings sheet as config sheet\n"
         "does. No port is needed."},
        {"find",
         "Looks for a relay whose line settings are unknown: tries every speed, parity\n"
         "and stop bits the interface word can hold (38400, 19200, 9600, 4800 bit/s;\n"
         "no, even, odd parity; 1 then 2 stop bits) and asks each address (default\n"
         "1-32) at each. Prints the first relay that answers as\n"
         "ADDR<TAB>speed<TAB>parity<TAB>stop bits; each setting tried is noted on\n"
         "standard error. With --yes the settings found are stored in front.ini (its\n"
         "port name kept) and stored<TAB>path follows. Exit status 1 when nothing\n"
         "answers."},
        {"password",
         "Changes the relay's password: capital Latin letters, of which the first four\n"
         "count. The old one comes from --old-file, MIV_PASSWORD or the terminal, the\n"
         "new one from --new-file, MIV_NEW_PASSWORD or the terminal, where it is typed\n"
         "twice (--old and --new too, readable by every user: see PASSWORDS). A wrong\n"
         "old password is refused with exit status 3 and nothing is written."},
        {"journal",
         "Reads the relay's event journal (up to 100 events) and prints one line per\n"
         "event as the window's grid shows it: n<TAB>date<TAB>event<TAB>details.\n"
         "--xls writes the report workbook the window's \"Отчёт\" writes; --csv writes\n"
         "the rows as UTF-8 CSV with a byte order mark, a header line and CR LF line\n"
         "ends. A reading that fails prints the events read before it, writes no file\n"
         "and ends with exit status 1; a file that cannot be written ends with 3."},
        {"timer",
         "The daily timer of a type-6 relay. timer read prints the five marks, the six\n"
         "intervals and the timer switch. timer write unlocks the relay with the\n"
         "password (see PASSWORDS), changes what is given (an empty entry of a list keeps the\n"
         "relay's value), writes the schedule and prints it read back. Ctrl+C lets the\n"
         "write under way finish and ends with exit status 130."},
        {"audit",
         "Prints the audit log of writes to relays made by the window and by mivctl,\n"
         "one line per write: time, PC user, port, address and factory number,\n"
         "register, what was written, old and new value, and the relay's answer\n"
         "(taken, refused N, no answer; \"sent, answer unknown\" when the program ended\n"
         "before the answer was logged: the relay may have taken it). --since (yyyy-MM-dd, dd.MM.yyyy or\n"
         "yyyy-MM-ddTHH:mm) prints only the writes from that time on. A log that\n"
         "cannot be read ends with exit status 3; no log yet prints nothing. A log\n"
         "whose chain is broken is printed all the same, after one warning on stderr.\n"
         "audit verify checks the hash chain of the log (or of --log FILE): each line\n"
         "carries the SHA-256 of the line before it and of its own content. It names\n"
         "the first line that was changed, inserted or removed, with its time, relay\n"
         "and item, and ends with exit status 4; a whole chain prints its head, the\n"
         "number of its lines and its last link, to be written down: only against it\n"
         "is a cut of the log's tail seen. Lines written before the log was chained\n"
         "are kept as they are and counted apart; a line cut off by a power failure\n"
         "and taken in by the next line is named, not a fault."},
        {"live",
         "Identifies the relay and prints its live values as the tab \"Текущие значения\"\n"
         "shows them: each value as caption<TAB>text, then each lamp as\n"
         "caption<TAB>on or off (lamps 6 and 7: green, red, off or blinking).\n"
         "--watch repeats every SECONDS until Ctrl+C, each block headed by \"=== \" and\n"
         "the time; --csv appends one row per refresh to FILE: the time and the raw\n"
         "registers 16 to 45 and 112 to 117, under a header line when the file is new."},
        {"overview",
         "Every relay of the line at a glance, one line per relay: ADDR, NAME,\n"
         "FACTORY, STATE, IA, IB, IC, TEMPERATURE, ALARMS and CLOCK separated by tabs,\n"
         "the values as the live page writes them, STATE \"Работа\", \"Стоп\", \"Авария\"\n"
         "or \"Перегрузка\", ALARMS the captions of the lit alarm lamps, CLOCK the\n"
         "relay's clock minus the PC's in seconds (\"+3 с\"; the time the read took is\n"
         "allowed for; read the first time and then once a minute). A relay that\n"
         "does not answer reads \"нет связи\" in STATE. Without --addresses the line is\n"
         "scanned first. --watch repeats every SECONDS until Ctrl+C; --csv prints the\n"
         "same columns as CSV. Exit status 1 when the port is lost or no relay is found."},
        {"line",
         "line stats reads the live values of the relays (those of --addresses, else\n"
         "those a scan finds) one after the other for N seconds (default 10; Ctrl+C\n"
         "ends early), then prints what the bus counted for each relay, one line per\n"
         "address: ADDR, REQUESTS, ANSWERS, NO_ANSWER, CRC_ERRORS, OTHER_ADDRESS (valid\n"
         "replies nobody waited for), LATE (replies after their wait, dropped),\n"
         "NOISE_BYTES, RETRIES, EXCEPTIONS (CODE:COUNT), MEDIAN_MS, P95_MS and MAX_MS (the\n"
         "response times) and HINTS, separated by tabs under a header line; --csv\n"
         "prints the same as CSV. A hint is given when a figure reaches 3 and 1 % of\n"
         "the requests (noise: 16 bytes and 0.1 byte per request). Exit status 4 when\n"
         "any relay has a hint, 1 when the port is lost or no relay is found."},
        {"registry",
         "The relay register. list: the relays on record, FACTORY, TYPE, NAME, TAG,\n"
         "LAST_SEEN, PORT, ADDR, VERSION and APPROVAL (approved, differs or none)\n"
         "separated by tabs. history: the relay's snapshots (as-found at every\n"
         "configuration read, as-left after every write, approved), each with the rows\n"
         "changed against the one before. diff: the rows two snapshots hold\n"
         "differently, as config diff prints them. check: reads every relay of the line\n"
         "(or those listed), records each as found and compares it with its approved\n"
         "settings: relays that differ (row, approved, actual), with no approval,\n"
         "silent or replaced. approve: a complete settings file or a snapshot of the\n"
         "relay becomes its approved settings. tag: the relay's free text. journal:\n"
         "the relay's archived journal entries as N<TAB>relay date<TAB>PC\n"
         "date<TAB>event<TAB>details, --since and --until on the PC's time (a day or a\n"
         "minute given to --until counts to its end). events: every relay's entries in\n"
         "the order of the PC's time with the factory number and the tag, the same\n"
         "options. report: the commissioning report (the approved, as-found and\n"
         "as-left value of every row, the changed rows marked, the journal of the\n"
         "visit, lines for who set the relay up and who checked it) as --pdf, --xls or\n"
         "--csv, of a visit: an as-found snapshot and a later as-left one of the\n"
         "relay, by default the latest day's (a refusal names the visits on record).\n"
         "roles --setup, run by the owner of a PostgreSQL register, makes the roles\n"
         "miv_reader, miv_engineer and miv_approver with their grants (one line per\n"
         "step taken; a second run says nothing needed doing). On PostgreSQL the\n"
         "server writes who recorded a row, the role the connection logged in as,\n"
         "with the PC's user beside it; on SQLite the PC's user is marked \"не\n"
         "проверено\". Recorded snapshots, approvals and journal entries are never\n"
         "changed or removed. Where four eyes are on (PostgreSQL; SQLite with\n"
         "FourEyes=1 under [Registry] in front.ini) approve records a proposal \"на\n"
         "утверждении\" (--note, its reason, required) that another person confirms\n"
         "(confirm ID: the settings become the relay's approved ones) or rejects\n"
         "(reject ID --reason TEXT); neither the proposal's author nor who recorded\n"
         "the snapshot it comes from may confirm it. proposals: ID, FACTORY, STATE,\n"
         "AUTHOR, TIME, SOURCE, NOTE, CLOSED_BY and REASON of every proposal. lock and\n"
         "unlock put a relay in service (\"в эксплуатации\") and take it out; mivctl then\n"
         "refuses config write, timer write, password and command motor-resource to\n"
         "it, naming the lock and who set it (exit status 3). Every step\n"
         "is a sign-off (who, when, what) that history lists among the snapshots.\n"
         "Free text (a tag, a note) is escaped C-style in the tab-separated lines.\n"
         "FACTORY is a factory number or FACTORY:TYPE. Exit status 4 when check or\n"
         "diff finds a difference, 3 when the relay is not on record (named) or the\n"
         "register cannot be used, 2 for wrong usage, snapshots that are no visit\n"
         "included."},
        {"clock",
         "clock sync sets the clock of every relay of the line (the relays a scan\n"
         "finds, or those of --addresses) to the PC's time, as the live page's\n"
         "\"Синхронизация\" does, each write in the audit log. With --max-offset only\n"
         "the relays whose clock is off by more than SECONDS, or holds no date, are\n"
         "set. One line per relay: ADDR<TAB>set<TAB>OFFSET (the offset before),\n"
         "ADDR<TAB>kept<TAB>OFFSET, ADDR<TAB>no link<TAB>reason or\n"
         "ADDR<TAB>refused<TAB>reason. Exit status 0 when every relay was set or kept,\n"
         "1 when any had no link, else 3."},
        {"command",
         "Sends one command to the relay as the window's buttons do, then prints the\n"
         "refresh as live does (after motor-resource and serial, the service\n"
         "values). start and stop run and stop the motor; ack acknowledges a trip\n"
         "after its warning (--yes, or \"y\" on a terminal); clock-sync sets the relay's\n"
         "clock to the PC's, clock-set to the time given; output switches an output\n"
         "relay by hand, and only with the motor at rest: while a phase carries 0,2 A\n"
         "or more it is refused with \"Есть токи! Отключите двигатель!\" (exit status\n"
         "3), but for \"output work off\", which stops the motor; motor-resource and\n"
         "serial set the service values. A command the relay refuses exits 3, one it does not\n"
         "answer 1."},
        {"publish",
         "Publishes the line's relays to an MQTT broker until SIGTERM or SIGINT, read\n"
         "only: P/L/status (online; offline after a clean stop, lost as the last\n"
         "will), P/L/meta (the publisher, the port, the relays), and for each\n"
         "relay A retained P/L/A/info, P/L/A/state and P/L/A/live at every poll, and\n"
         "each journal entry once on P/L/A/journal (the entries published are kept in\n"
         "a state file, so that a restart neither repeats nor skips one). P is\n"
         "--prefix (default miv), L is --line (default made from the port's name).\n"
         "Without --addresses the line is scanned at start. The broker's password\n"
         "comes from --password-file or MIV_MQTT_PASSWORD, never from the command\n"
         "line; --tls-ca FILE connects with TLS, --tls-cert and --tls-key give the\n"
         "client's certificate. Home Assistant finds the relays through discovery\n"
         "under --discovery PREFIX (default homeassistant; --no-discovery: none).\n"
         "A broker that goes away is connected to again with growing waits; a\n"
         "refused password or a TLS failure ends with exit status 1, a state file\n"
         "that cannot be read or written with 3. No command is taken from MQTT."},
};

} // namespace

QString commandHelp(const QString &name)
{
    for (const HelpText &help : helpTexts) {
        if (name == QLatin1String(help.command))
            return QString::fromUtf8(help.text);
    }
    return {};
}

} // namespace miv::cli
