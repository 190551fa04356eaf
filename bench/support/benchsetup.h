#pragma once

// What every benchmark does before it measures: keeps the tool's
// diagnostics out of its figures and finds the simulator it was built with;
// and how the window benchmarks count redraws.

#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QObject>
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

// Counts the paints of the widgets it filters: how often a window redraws.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace bench
