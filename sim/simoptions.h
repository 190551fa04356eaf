#pragma once

#include "ptyserver.h"

#include <QString>
#include <QStringList>

namespace zel::sim {

// Everything the zel-sim command line can set: the module itself, its
// update service, the port around it and the log to replay.
struct SimOptions
{
    ModuleOptions module;
    UpdateOptions update;
    PtyServerOptions server;
    QString replayPath; // a data log to send instead of the simulated motion
    double replayRateHz = 0; // 0: as the log's timestamps pace it
};

enum class ParseResult { Run, Help, Error };

// arguments excludes the program name. help is the help text; on Error,
// error says what was wrong.
ParseResult parseSimOptions(
    const QStringList &arguments, SimOptions *options, QString *error, QString *help);

} // namespace zel::sim
