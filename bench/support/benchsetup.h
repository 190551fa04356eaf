#pragma once

// What every benchmark does before it measures: keeps the tool's
// diagnostics out of its figures and finds the simulator it was built with.

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QString>

namespace bench {

// The tool writes a debug line for every reply, chunk and re-open: at
// 500 Hz they would swamp the figures and cost CPU the figures count.
// Warnings still reach standard error, and QT_LOGGING_RULES still wins.
inline void quietDiagnostics()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\ndefault.info=false"));
}

// The simulator from the benchmark's own build, unless ZEL_SIM names
// another. Call once the application object exists.
inline void useSimulatorBesideProgram()
{
    if (qEnvironmentVariableIsEmpty("ZEL_SIM"))
        qputenv("ZEL_SIM", (QCoreApplication::applicationDirPath() + "/zel-sim").toLocal8Bit());
}

} // namespace bench
