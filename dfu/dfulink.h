#pragma once

// One request-and-response exchange with the module's update service over
// an open serial port. The exchange blocks the calling thread: the host
// writes a message, then collects whatever comes back until the line falls
// quiet.

#include <QByteArray>
#include <QString>

#include <functional>

class QSerialPort;

namespace zel::dfu {

class DfuLink
{
public:
    using LogSink = std::function<void(const QString &text)>;

    DfuLink(QSerialPort &port, LogSink log);

    // Writes the CRC prefix and the body, then returns the response bytes:
    // empty when nothing arrived in time, otherwise everything up to the
    // first quiet gap or up to the limits of a response, whichever comes
    // first. Write timeouts are only logged.
    QByteArray send_message(const QByteArray &body);

    // True when the response is an acknowledgement with status 0; any other
    // answer is logged and refused.
    bool send_ackd_command(const QByteArray &body);

    // Whether the last response was cut off at its limits: the line never
    // fell quiet, so what came was no answer of the update service.
    bool responseCut() const { return cut; }
    // Logs so when the last response was cut off; returns responseCut().
    bool logIfCut();

private:
    bool writeAll(const QByteArray &bytes, int timeoutMs);

    QSerialPort &port;
    LogSink log;
    bool cut = false;
};

} // namespace zel::dfu
