// The window's Unicode text as the bytes the encoder takes.
#pragma once

#include <QByteArray>
#include <QString>

#include "glyphrun/status.h"

namespace glyphrun::app {

enum class TextBytesError { None = 0, BeyondLatin1 };
GLYPHRUN_ERROR_ENUM(TextBytesError)

// Normalises to NFC and turns each character U+0000-U+00FF into the byte
// of the same value (ISO 8859-1, which readers assume). Refused, with a
// message naming the character and its position, for anything above.
Result<QByteArray> TextToBytes(const QString& text);

}  // namespace glyphrun::app
