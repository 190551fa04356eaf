#pragma once

#include "applicationfirmware.h"
#include "simulatedmodule.h"

#include <QString>
#include <QStringList>

namespace zel::sim {

// Everything the zel-sim command line can set: the module itself, its
// update service and the faults of the port around it.
struct SimOptions
{
    ModuleOptions module;
    UpdateOptions update;
    QString dfuImagePath; // where each installed image is written
    double hangupAfterSeconds = -1; // negative: never
    QString linkPath;
    double reappearAfterSeconds = -1; // negative: the port stays away
    QString recordPath;
    QString replayPath; // a data log to send instead of the simulated motion
    double replayRateHz = 0; // 0: as the log's timestamps pace it
    double exitAfterSeconds = -1; // negative: run until told to stop
};

enum class ParseResult { Run, Help, Error };

// arguments excludes the program name. On Error, error says what was wrong.
ParseResult parseSimOptions(const QStringList &arguments, SimOptions *options, QString *error);
QString usageText();

} // namespace zel::sim
