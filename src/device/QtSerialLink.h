#pragma once

#include "SerialLink.h"

#include <QSerialPort>

// The real serial port, through QSerialPort.
class QtSerialLink : public SerialLink
{
    Q_OBJECT

public:
    explicit QtSerialLink(QString programDir, QObject* parent = nullptr);

    bool open(int portNumber) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    QByteArray readAll() override { return m_port.readAll(); }
    void discardWaiting() override;
    QString problem() const override { return m_problem; }
    bool betterDeviceAvailable() const override;

private:
    void onError(QSerialPort::SerialPortError error);
    QString failureText(const QString& path, const QString& device) const;

    QString m_programDir;
    QSerialPort m_port;
    QString m_problem;
    int m_portNumber = 0;
    QString m_openedPath;
};
