#include "text_bytes.h"

namespace glyphrun::app {

Result<QByteArray> TextToBytes(const QString& text) {
    const QString normalised = text.normalized(QString::NormalizationForm_C);
    QByteArray bytes;
    int position = 0;
    for (auto it = normalised.cbegin(); it != normalised.cend(); ++it) {
        ++position;
        char32_t code = it->unicode();
        if (it->isHighSurrogate() && it + 1 != normalised.cend() && (it + 1)->isLowSurrogate()) {
            code = QChar::surrogateToUcs4(*it, *(it + 1));
            ++it;
        }
        if (code > 0xFF) {
            const QString reason =
                QStringLiteral("The character \"%1\" (U+%2) at position %3 cannot be encoded: "
                               "only characters up to U+00FF (ISO 8859-1) can.")
                    .arg(QString::fromUcs4(&code, 1))
                    .arg(QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, QLatin1Char('0')))
                    .arg(position);
            return Status::Failed(TextBytesError::BeyondLatin1, reason.toStdString());
        }
        bytes.append(static_cast<char>(code));
    }
    return bytes;
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(TextBytesError, "glyphrun.text-bytes")

}  // namespace glyphrun::app
