#pragma once

// Judges a data log written by the tool against the simulator's record of
// the sensor frames it sent: every row whole, and the rows one unbroken run
// of the frames sent. When the log is not whole, the verdict says where it
// first goes wrong, so that a failing soak tells lost frames from torn rows.

#include "recordcheck.h"

#include <QList>
#include <QString>

namespace logaudit {

// A row as the worker writes it: 17 numbers separated by commas, no blanks,
// ending in one line feed.
inline bool isWellFormedRow(const QByteArray &row)
{
    if (!row.endsWith('\n') || row.count('\n') != 1)
        return false;
    const QList<QByteArray> fields = row.left(row.size() - 1).split(',');
    if (fields.size() != 17)
        return false;
    for (const QByteArray &field : fields) {
        bool ok = false;
        field.toDouble(&ok);
        if (!ok || field.contains(' '))
            return false;
    }
    return true;
}

struct Audit
{
    int rows = 0;
    // Index in the frames sent of the frame the first row came from; -1
    // when the rows are not one unbroken run of them.
    int runStart = -1;
    // Empty when the log is whole.
    QString problem;
};

inline Audit audit(const QList<QByteArray> &sentRows, const recordcheck::LogContents &log)
{
    Audit verdict;
    verdict.rows = log.rows.size();
    if (log.header != zel::csvHeader()) {
        verdict.problem = QStringLiteral("header is %1").arg(QString::fromLatin1(log.header));
        return verdict;
    }
    if (log.rows.isEmpty()) {
        verdict.problem = QStringLiteral("no rows");
        return verdict;
    }
    if (!log.endsWithLineFeed) {
        verdict.problem = QStringLiteral("the last row is torn: it has no line feed");
        return verdict;
    }
    for (int i = 0; i < log.rows.size(); ++i) {
        if (!isWellFormedRow(log.rows.at(i))) {
            verdict.problem = QStringLiteral("row %1 is malformed: %2")
                                  .arg(i + 1)
                                  .arg(QString::fromLatin1(log.rows.at(i)).trimmed());
            return verdict;
        }
    }
    verdict.runStart = recordcheck::runStart(sentRows, log.rows);
    if (verdict.runStart >= 0)
        return verdict;

    const int first = sentRows.indexOf(log.rows.first());
    if (first < 0) {
        verdict.problem = QStringLiteral("row 1 matches no frame sent");
        return verdict;
    }
    for (int i = 1; i < log.rows.size(); ++i) {
        const int expected = first + i;
        if (expected >= sentRows.size()) {
            verdict.problem = QStringLiteral("the rows run past the frames sent");
            return verdict;
        }
        if (sentRows.at(expected) == log.rows.at(i))
            continue;
        const int found = sentRows.indexOf(log.rows.at(i), first);
        if (found > expected) {
            verdict.problem = QStringLiteral("%1 frames lost between rows %2 and %3")
                                  .arg(found - expected)
                                  .arg(i)
                                  .arg(i + 1);
        } else if (found >= 0) {
            verdict.problem = QStringLiteral("row %1 repeats an earlier frame").arg(i + 1);
        } else {
            verdict.problem = QStringLiteral("row %1 matches no frame sent").arg(i + 1);
        }
        return verdict;
    }
    // Every row matched: only a first row that also appears earlier could
    // have hidden the run, which frames with their own timestamps never do.
    verdict.problem = QStringLiteral("the rows are not one run of the frames sent");
    return verdict;
}

} // namespace logaudit
