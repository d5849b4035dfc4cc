#ifndef CLI_SUBCOMMAND_H
#define CLI_SUBCOMMAND_H

#include <QCommandLineParser>
#include <QString>

#include <functional>

#include "output.h"

// What a subcommand gets: its parsed command line and the output to report through.
struct Invocation {
    QString command;
    const QCommandLineParser& parser;
    Output& out;

    // Message and hint on standard error; returns 2.
    int usageError(const QString& message) const { return Output::usageError(command, message); }
};

// A subcommand: defined in a file of its own (or of its group) and listed in the dispatch table of main.cpp;
// main declares --json and --help for every one.
struct Subcommand {
    const char* name;
    const char* synopsis; // what follows the name in the usage line
    const char* summary;
    void (*declare)(QCommandLineParser& parser);
    int (*run)(const Invocation& invocation); // the exit status
};

// Starts `start` from the event loop and runs the loop until QCoreApplication::exit(status); returns status.
int runEventLoop(const std::function<void()>& start);

#endif // CLI_SUBCOMMAND_H
