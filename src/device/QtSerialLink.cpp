#include "QtSerialLink.h"

#include "PortLocator.h"

#include <QFileInfo>

QtSerialLink::QtSerialLink(QString programDir, QObject* parent)
    : SerialLink(parent), m_programDir(std::move(programDir))
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::dataArrived);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialLink::onError);
}

bool QtSerialLink::open(int portNumber)
{
    close();
    m_problem.clear();
    const QString path = PortLocator::devicePath(m_programDir, portNumber);
    m_portNumber = portNumber;
    m_openedPath = path;
    // Open the device a COM<N> link points to: the lock file then belongs to the real
    // device, so two program folders with their own COM1 do not lock each other out.
    const QFileInfo info(path);
    const QString device = info.isSymLink() ? info.canonicalFilePath() : path;
    if (device.isEmpty() || !QFileInfo::exists(device)) {
        m_problem = failureText(path, QString());
        return false;
    }
    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud4800);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (m_port.open(QIODevice::ReadWrite))
        return true;
    m_problem = failureText(path, device);
    m_port.clearError();
    return false;
}

bool QtSerialLink::betterDeviceAvailable() const
{
    return m_port.isOpen() && PortLocator::devicePath(m_programDir, m_portNumber) != m_openedPath;
}

void QtSerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void QtSerialLink::discardWaiting()
{
    // Only what QSerialPort has buffered is dropped. The driver's queue is left alone:
    // flushing it would throw away the start of the next frame.
    m_port.skip(m_port.bytesAvailable());
}

void QtSerialLink::onError(QSerialPort::SerialPortError error)
{
    // A vanished USB adapter or pseudo-terminal shows up as a stream of read errors, never
    // as a clean end; close at the first so the event loop is not flooded.
    if (!m_port.isOpen())
        return;
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    m_port.close();
    m_problem = QStringLiteral("device disconnected");
    emit disconnected();
}

QString QtSerialLink::failureText(const QString& path, const QString& device) const
{
    QString reason;
    if (device.isEmpty()) {
        reason = QStringLiteral("missing (no such device)");
    } else {
        switch (m_port.error()) {
        case QSerialPort::DeviceNotFoundError:
            reason = QStringLiteral("missing (no such device)");
            break;
        case QSerialPort::PermissionError: {
            const QFileInfo info(device);
            if (info.isReadable() && info.isWritable())
                reason = QStringLiteral("busy (another program has it open)");
            else
                reason = QStringLiteral(
                    "permission denied (add yourself to the dialout group: sudo usermod -aG "
                    "dialout $USER, then log in again)");
            break;
        }
        case QSerialPort::OpenError:
            reason = QStringLiteral("busy (already open)");
            break;
        default:
            reason = m_port.errorString();
        }
    }
    QString tried = path;
    if (!device.isEmpty() && device != path)
        tried += QStringLiteral(" -> ") + device;
    const QStringList ports = PortLocator::visiblePorts(m_programDir);
    return QStringLiteral("Cannot open %1: %2. Serial ports here: %3.")
        .arg(tried, reason,
             ports.isEmpty() ? QStringLiteral("none") : ports.join(QStringLiteral(", ")));
}
