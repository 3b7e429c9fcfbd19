#pragma once

#include "common/SystemClock.h"
#include "ui/AppServices.h"
#include "ui/MessageBoxMessages.h"

// The system clock, message boxes and real serial ports of a program folder, as the program
// and the tools that open its windows use them.
class RealServices
{
public:
    explicit RealServices(const QString& programDir);
    RealServices(const RealServices&) = delete;
    RealServices& operator=(const RealServices&) = delete;

    const AppServices& services() const { return m_services; }

private:
    SystemClock m_clock;
    MessageBoxMessages m_messages;
    AppServices m_services;
};
