// The greeting's answer behind bytes of the module's data stream: a module
// that was streaming when the update began may send the start of a sensor
// frame before it answers, and the update must still find the answer.

#include "dfuprotocol.h"

#include <QtTest>

namespace {

QByteArray helloResponse(quint16 type)
{
    QByteArray response(zel::dfu::helloResponseSize, '\x5A');
    response[4] = char(type & 0xFF);
    response[5] = char(type >> 8);
    return response;
}

// The first bytes of a sensor data frame, as the stream sends them.
QByteArray streamBytes(int count)
{
    QByteArray bytes("\x20\x02\x58\x00", 4);
    while (bytes.size() < count)
        bytes.append(char(bytes.size() * 37));
    return bytes.left(count);
}

} // namespace

class TestFaultsHello : public QObject
{
    Q_OBJECT

private slots:
    void answerBehindStreamBytes_data();
    void answerBehindStreamBytes();
};

void TestFaultsHello::answerBehindStreamBytes_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QByteArray>("answer");

    const QByteArray hello = helloResponse(1);
    QTest::newRow("the answer alone") << hello << hello;
    QTest::newRow("stream bytes first") << streamBytes(30) + hello << hello;
    QTest::newRow("a whole frame first") << streamBytes(94) + hello << hello;
    const QByteArray wrongType = streamBytes(30) + helloResponse(5);
    QTest::newRow("another type behind stream bytes") << wrongType << wrongType;
    const QByteArray shortAnswer = hello.left(64);
    QTest::newRow("too short") << shortAnswer << shortAnswer;
    QTest::newRow("nothing") << QByteArray() << QByteArray();
}

void TestFaultsHello::answerBehindStreamBytes()
{
    QFETCH(QByteArray, response);
    QFETCH(QByteArray, answer);
    QCOMPARE(zel::dfu::helloAnswerWithin(response), answer);
    // What is left is judged as before: only a true answer is accepted.
    QCOMPARE(zel::dfu::judgeHelloResponse(zel::dfu::helloAnswerWithin(response)).accepted,
        answer.size() == zel::dfu::helloResponseSize && answer.at(4) == 1);
}

QTEST_MAIN(TestFaultsHello)
#include "tst_faults_hello.moc"
