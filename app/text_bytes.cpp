#include "text_bytes.h"

namespace glyphrun::app {

bool TextToBytes(const QString& text, QByteArray& bytes, QString& error) {
    const QString normalised = text.normalized(QString::NormalizationForm_C);
    bytes.clear();
    int position = 0;
    for (auto it = normalised.cbegin(); it != normalised.cend(); ++it) {
        ++position;
        char32_t code = it->unicode();
        if (it->isHighSurrogate() && it + 1 != normalised.cend() && (it + 1)->isLowSurrogate()) {
            code = QChar::surrogateToUcs4(*it, *(it + 1));
            ++it;
        }
        if (code > 0xFF) {
            error = QStringLiteral("The character \"%1\" (U+%2) at position %3 cannot be encoded: "
                                   "only characters up to U+00FF (ISO 8859-1) can.")
                        .arg(QString::fromUcs4(&code, 1))
                        .arg(QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, QLatin1Char('0')))
                        .arg(position);
            return false;
        }
        bytes.append(static_cast<char>(code));
    }
    return true;
}

}  // namespace glyphrun::app
