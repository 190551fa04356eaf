#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace zel::cli {

class UnixSignals;

// One zel-cli command. `arguments` is the whole command line, program name
// first; the result is the program's exit code.
struct Command
{
    const char *name;
    const char *summary;
    int (*run)(const QStringList &arguments, UnixSignals &unixSignals);
};

// The commands in the order `zel-cli --help` lists them.
const QList<Command> &commands();

// The exit codes and the bounds of every wait, for the help texts.
QString exitCodesText();

} // namespace zel::cli
