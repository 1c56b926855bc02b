// The window's language: English as written, or a translation built in.
#pragma once

#include <QLocale>

namespace glyphrun::app {

// Installs the translation for `locale` (Simplified Chinese is the one
// there is) into the application in place of the one before; false when
// there is none, and the texts are English.
bool InstallTranslation(const QLocale& locale);

}  // namespace glyphrun::app
