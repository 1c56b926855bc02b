// The window's Unicode text as the bytes the encoder takes.
#pragma once

#include <QByteArray>
#include <QString>

namespace glyphrun::app {

// Normalises to NFC and turns each character U+0000-U+00FF into the byte
// of the same value (ISO 8859-1, which readers assume). False, with a
// message naming the character and its position, for anything above.
bool TextToBytes(const QString& text, QByteArray& bytes, QString& error);

}  // namespace glyphrun::app
