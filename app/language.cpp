#include "language.h"

#include <QCoreApplication>
#include <QTranslator>
#include <memory>

namespace glyphrun::app {

bool InstallTranslation(const QLocale& locale) {
    // One translator at a time, for the life of the application.
    static std::unique_ptr<QTranslator> installed;
    if (installed) QCoreApplication::removeTranslator(installed.get());
    installed = std::make_unique<QTranslator>();
    return installed->load(locale, QStringLiteral("glyphrun"), QStringLiteral("_"), QStringLiteral(":/i18n")) &&
           QCoreApplication::installTranslator(installed.get());
}

}  // namespace glyphrun::app
