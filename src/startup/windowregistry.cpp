#include "startup/windowregistry.h"

#include "link/frmCDR.h"
#include "startup/frmStart.h"

WindowRegistry::WindowRegistry(Session& session) : m_session(session) {}

WindowRegistry::~WindowRegistry()
{
    // The link window closes its port on destruction; the start window goes last.
    m_cdr.reset();
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

bool WindowRegistry::ShowConfig()
{
    return false;
}

bool WindowRegistry::HideConfig()
{
    return false;
}
