#include "startup/windowregistry.h"

#include "link/frmCDR.h"
#include "meterdata/frmConfig.h"
#include "monitor/frmLog.h"
#include "startup/frmStart.h"

WindowRegistry::WindowRegistry(Session& session) : m_session(session) {}

WindowRegistry::~WindowRegistry()
{
    // The link window closes its port on destruction; the start window goes last.
    m_log.reset();
    m_cdr.reset();
    m_config.reset();
    m_start.reset();
}

frmStart& WindowRegistry::Start()
{
    if (!m_start)
        m_start = std::make_unique<frmStart>(m_session);
    return *m_start;
}

frmCDR& WindowRegistry::CDR()
{
    if (!m_cdr)
        m_cdr = std::make_unique<frmCDR>(m_session);
    return *m_cdr;
}

frmConfig& WindowRegistry::Config()
{
    if (!m_config)
        m_config = std::make_unique<frmConfig>(m_session);
    return *m_config;
}

void WindowRegistry::ShowConfig()
{
    Config().show();
}

void WindowRegistry::HideConfig()
{
    if (m_config)
        m_config->hide();
}

frmLog& WindowRegistry::Log()
{
    if (!m_log)
        m_log = std::make_unique<frmLog>(m_session);
    return *m_log;
}

void WindowRegistry::LinkTimedOut()
{
    if (m_log)
        m_log->LinkTimedOut();
}

void WindowRegistry::LinkFailed()
{
    if (m_log)
        m_log->LinkFailed();
}
