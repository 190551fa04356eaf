#pragma once

#include <QString>
#include <QtGlobal>

namespace zel {

// Now as local time in the console's stamp format, "yyyy/MM/dd HH:mm:ss.zzz".
// Finding the local offset from UTC can mean a file system access per call;
// time zones change their offset only on a whole minute, so the offset is
// looked up once a minute and the rest is arithmetic on the UTC clock.
class ConsoleClock
{
public:
    QString stamp();

private:
    qint64 offsetFromMs = 1;
    qint64 offsetUntilMs = 0;
    qint64 offsetMs = 0;
};

} // namespace zel
