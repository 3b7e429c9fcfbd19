#include "RealServices.h"

#include "device/QtSerialLink.h"

RealServices::RealServices(const QString& programDir)
{
    m_services.programDir = programDir;
    m_services.clock = &m_clock;
    m_services.messages = &m_messages;
    m_services.makeLink = [programDir] { return std::make_unique<QtSerialLink>(programDir); };
}
