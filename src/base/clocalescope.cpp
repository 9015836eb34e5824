#include "clocalescope.h"

#include <clocale>
#include <locale.h>

#ifdef _WIN32
// The CRT has no uselocale: the thread gets a locale of its own, set to "C", and goes back to the
// shared one afterwards.
CLocaleScope::CLocaleScope()
{
    m_previousMode = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    if (m_previousMode == -1)
        return;
    if (const char *name = std::setlocale(LC_ALL, nullptr))
        m_previousName = name;
    m_active = std::setlocale(LC_ALL, "C") != nullptr;
}

CLocaleScope::~CLocaleScope()
{
    if (m_previousMode == -1)
        return;
    if (!m_previousName.empty())
        std::setlocale(LC_ALL, m_previousName.c_str());
    if (m_previousMode != _ENABLE_PER_THREAD_LOCALE)
        _configthreadlocale(m_previousMode);
}
#else
CLocaleScope::CLocaleScope()
{
    const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (c == locale_t(nullptr))
        return;
    const locale_t previous = uselocale(c);
    if (previous == locale_t(nullptr)) {
        freelocale(c);
        return;
    }
    m_cLocale = c;
    m_previous = previous;
    m_active = true;
}

CLocaleScope::~CLocaleScope()
{
    if (!m_active)
        return;
    uselocale(static_cast<locale_t>(m_previous));
    freelocale(static_cast<locale_t>(m_cLocale));
}
#endif
