// The one port choice both port choosers make: which entries they offer and
// which one they preselect (the port last used, if listed), and the port
// name each entry opens.

#include "portlist.h"

#include <QtTest>

class TestPortList : public QObject
{
    Q_OBJECT

private slots:
    void bridgePortsAreMarkedAndTheLastPreselected_data();
    void bridgePortsAreMarkedAndTheLastPreselected();
};

void TestPortList::bridgePortsAreMarkedAndTheLastPreselected_data()
{
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QString>("lastUsed");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("preselected");

    const QStringList twoMarked { "Enhanced A", "plain", "Enhanced B", "enhanced c" };
    const QStringList twoMarkedEntries { "p0 (ZEL)", "p1", "p2 (ZEL)", "p3" };
    QTest::newRow("no ports") << QStringList() << "p0" << QStringList() << -1;
    QTest::newRow("none marked: the first")
        << QStringList { "USB Serial", "" } << "" << QStringList { "p0", "p1" } << 0;
    QTest::newRow("the last of two marked") << twoMarked << "" << twoMarkedEntries << 2;
    QTest::newRow("mark inside the text") << QStringList { "x", "CP210x Enhanced Com Port" } << ""
                                          << QStringList { "p0", "p1 (ZEL)" } << 1;
    QTest::newRow("last used beats the marked") << twoMarked << "p3" << twoMarkedEntries << 3;
    QTest::newRow("last used gone: the marked") << twoMarked << "p7" << twoMarkedEntries << 2;
}

void TestPortList::bridgePortsAreMarkedAndTheLastPreselected()
{
    QFETCH(QStringList, descriptions);
    QFETCH(QString, lastUsed);
    QFETCH(QStringList, entries);
    QFETCH(int, preselected);
    QList<SerialPortEntry> ports;
    for (int i = 0; i < descriptions.size(); ++i)
        ports.append({ QStringLiteral("p%1").arg(i), descriptions[i] });

    const PortChoice choice = choosePort(ports, lastUsed);
    QCOMPARE(choice.entries, entries);
    QCOMPARE(choice.preselected, preselected);
    for (int i = 0; i < entries.size(); ++i)
        QCOMPARE(portNameFromEntry(choice.entries[i]), ports[i].portName);
}

QTEST_GUILESS_MAIN(TestPortList)
#include "tst_portlist.moc"
