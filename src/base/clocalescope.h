#pragma once
#include <string>

// File formats write numbers with "." whatever the operator's regional settings. Qt's application
// object sets the C library's locale from the environment (LANG=ru_RU.UTF-8: decimal comma), so
// every printf-family call, strtod and third-party writer of this thread would follow it. While a
// CLocaleScope lives, the calling thread alone uses the "C" locale; the process locale, which Qt
// and the regional settings read, stays as it is. The previous locale of the thread comes back
// when the scope ends, also when an error leaves it.
class CLocaleScope
{
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

    // Whether the thread now formats numbers the "C" way (false only when the system offered no
    // "C" locale object, which does not happen on a working system).
    bool active() const { return m_active; }

private:
    bool m_active = false;
#ifdef _WIN32
    int m_previousMode = -1;
    std::string m_previousName;
#else
    void *m_cLocale = nullptr;
    void *m_previous = nullptr;
#endif
};
