// The verdict the soak and fault tests rely on must be able to fail: lost
// frames, torn rows and stray rows are each named.

#include "logaudit.h"
#include "procstats.h"

#include <QtTest>

namespace {

QByteArray row(int k)
{
    QByteArray text = QByteArray::number(k);
    for (int field = 1; field < 17; ++field)
        text += ',' + QByteArray::number(k * 17 + field) + ".000000";
    return text + '\n';
}

QList<QByteArray> rows(int from, int to)
{
    QList<QByteArray> list;
    for (int k = from; k < to; ++k)
        list.append(row(k));
    return list;
}

recordcheck::LogContents logOf(const QList<QByteArray> &logged, bool endsWithLineFeed = true)
{
    recordcheck::LogContents log;
    log.header = zel::csvHeader();
    log.rows = logged;
    log.endsWithLineFeed = endsWithLineFeed;
    return log;
}

} // namespace

class TestFaultsAudit : public QObject
{
    Q_OBJECT

private slots:
    void verdicts_data();
    void verdicts();
    void residentSizeFromStatm_data();
    void residentSizeFromStatm();
    void ownResidentSize();
};

void TestFaultsAudit::verdicts_data()
{
    QTest::addColumn<QList<QByteArray>>("logged");
    QTest::addColumn<bool>("endsWithLineFeed");
    QTest::addColumn<int>("runStart");
    QTest::addColumn<QString>("problem");

    QList<QByteArray> gap = rows(10, 20);
    gap.removeAt(4);
    QList<QByteArray> torn = rows(10, 20);
    torn[3] = torn[3].left(40) + '\n';
    QList<QByteArray> repeated = rows(10, 20);
    repeated.insert(5, row(12));
    QList<QByteArray> foreign = rows(10, 20);
    foreign[6] = row(500);
    QList<QByteArray> cutLast = rows(10, 20);
    cutLast.last().chop(1);

    QTest::newRow("whole run") << rows(10, 20) << true << 10 << QString();
    QTest::newRow("run at the end") << rows(90, 100) << true << 90 << QString();
    QTest::newRow("lost frame") << gap << true << -1
                                << QStringLiteral("1 frames lost between rows 4 and 5");
    QTest::newRow("torn row") << torn << true << -1 << QStringLiteral("row 4 is malformed");
    QTest::newRow("last row torn")
        << cutLast << false << -1 << QStringLiteral("the last row is torn: it has no line feed");
    QTest::newRow("repeated frame")
        << repeated << true << -1 << QStringLiteral("row 6 repeats an earlier frame");
    QTest::newRow("stray row") << foreign << true << -1
                               << QStringLiteral("row 7 matches no frame sent");
    QTest::newRow("past the end") << rows(95, 105) << true << -1
                                  << QStringLiteral("the rows run past the frames sent");
    QTest::newRow("header only") << QList<QByteArray>() << true << -1 << QStringLiteral("no rows");
}

void TestFaultsAudit::verdicts()
{
    QFETCH(QList<QByteArray>, logged);
    QFETCH(bool, endsWithLineFeed);
    QFETCH(int, runStart);
    QFETCH(QString, problem);

    const logaudit::Audit verdict = logaudit::audit(rows(0, 100), logOf(logged, endsWithLineFeed));
    QCOMPARE(verdict.rows, logged.size());
    QCOMPARE(verdict.runStart, runStart);
    QVERIFY2(verdict.problem.startsWith(problem), qPrintable(verdict.problem));
    QCOMPARE(verdict.problem.isEmpty(), problem.isEmpty());
}

void TestFaultsAudit::residentSizeFromStatm_data()
{
    QTest::addColumn<QByteArray>("statm");
    QTest::addColumn<qint64>("bytes");
    QTest::newRow("usual") << QByteArray("11546 2876 1902 1 0 1211 0\n") << qint64(2876) * 4096;
    QTest::newRow("one field") << QByteArray("11546\n") << qint64(-1);
    QTest::newRow("not a number") << QByteArray("11546 lots 1902\n") << qint64(-1);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
}

void TestFaultsAudit::residentSizeFromStatm()
{
    QFETCH(QByteArray, statm);
    QFETCH(qint64, bytes);
    QCOMPARE(procstats::residentBytesFromStatm(statm, 4096), bytes);
}

void TestFaultsAudit::ownResidentSize()
{
    // A Qt program holds megabytes; a page-count misread would show less.
    QVERIFY(procstats::residentBytes() > 1024 * 1024);
    QVERIFY(procstats::cpuSeconds() > 0);
}

QTEST_MAIN(TestFaultsAudit)
#include "tst_faults_audit.moc"
