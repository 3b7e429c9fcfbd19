#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// A numbered serial port at 4800,N,8,1 as the windows use it: open, close, read all that is
// waiting, discard what is left, and a signal when characters arrive.
class SerialLink : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // False when the port cannot be opened; problem() then says why, in words for the user.
    virtual bool open(int portNumber) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QByteArray readAll() = 0;
    virtual void discardWaiting() = 0;
    virtual QString problem() const = 0;
    // True while the port is open on a device that its number no longer means first, for
    // example /dev/ttyS0 after a COM<N> link has appeared again.
    virtual bool betterDeviceAvailable() const { return false; }

signals:
    void dataArrived();
    // The device went away under an open port (unplugged, or the other end closed). The
    // link has closed itself; the owner decides when to try again.
    void disconnected();
};
