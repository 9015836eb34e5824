#include "errorguard.h"

#include "apptitle.h"
#include "base/errors.h"
#include "prompts.h"

#include <exception>

QString errorMessageText(const QString &text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void runGuarded(const std::function<void()> &handler)
{
    QString text;
    try {
        handler();
        return;
    } catch (const QpxError &e) {
        text = e.text();
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    }
    Prompts::instance().showMessage(errorMessageText(text), applicationTitle(), MessageIcon::Error);
}
