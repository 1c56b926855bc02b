#include "form.h"

#include <QCoreApplication>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <memory>

#include "glyphrun/frontend.h"
#include "glyphrun/text_input.h"

namespace glyphrun::app {
namespace {

// The texts of this file, for the translation tools.
struct FormText {
    Q_DECLARE_TR_FUNCTIONS(FormText)
};

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

Refusal Refuse(const QString& reason, const QString& fix = {}) { return Refusal{reason, fix}; }

// "the character "Κ" (U+039A) at position 1": the first character of
// `text` beyond ISO 8859-1.
QString FirstBeyondLatin1(const QString& text) {
    const QList<uint> codes = text.toUcs4();
    const auto beyond = std::find_if(codes.begin(), codes.end(), [](uint code) { return code > 0xFF; });
    const char32_t code = beyond == codes.end() ? U'\uFFFD' : static_cast<char32_t>(*beyond);
    return FormText::tr("the character \"%1\" (U+%2) at position %3 is not in ISO 8859-1")
        .arg(QString::fromUcs4(&code, 1))
        .arg(QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, QLatin1Char('0')))
        .arg(beyond - codes.begin() + 1);
}

InputRule RuleOf(const Form& form) {
    InputRule rule;
    rule.gs1 = form.gs1;
    if (form.utf8) rule.eci = kUtf8Eci;
    return rule;
}

// The bytes of the text and what they mean, by the command line's rule:
// text up to U+00FF as ISO 8859-1 bytes; with UTF-8 any character, as
// UTF-8 under ECI 26; with GS1 element strings in brackets, checked.
std::optional<Refusal> ReadData(const Form& form, std::string& bytes, DataMeaning& meaning) {
    if (form.gs1 && form.utf8)
        return Refuse(FormText::tr("GS1 data carries no ECI"), FormText::tr("tick GS1 or UTF-8, not both"));
    if (form.text.isEmpty()) return Refuse(FormText::tr("there is no text"), FormText::tr("type the data to encode"));
    if (const Status prepared = PrepareInput(form.text.toStdString(), RuleOf(form), bytes, meaning); !prepared)
        return prepared.Is(InputError::BadGs1)
                   ? Refuse(FormText::tr("the GS1 data is not valid: %1").arg(FromStd(prepared.reason())))
                   : Refuse(FromStd(prepared.reason()));
    // Without the box the rule would put text beyond ISO 8859-1 under ECI 26
    // by itself; the window asks for the box instead, so that a symbol some
    // readers show wrongly is made only by choice.
    if (!form.utf8 && meaning.eciGiven)
        return Refuse(FirstBeyondLatin1(form.text), FormText::tr("tick UTF-8 to encode these characters"));
    meaning.readerInit = form.readerInit;
    return std::nullopt;
}

// The fix for a failed encode, where the form holds one.
QString FixFor(const Status& failed, const Form& form) {
    if (!failed.Is(EncodeError::DoesNotFit) && !failed.Is(EncodeError::TooLong)) return {};
    if (form.size >= 0) return FormText::tr("choose a larger size or Smallest square");
    return form.appendCount ? FormText::tr("use more symbols, or shorten the text")
                            : FormText::tr("shorten the text, or spread it over several symbols (Structured Append)");
}

std::variant<std::vector<Symbol>, Refusal> Encoded(const Form& form, const std::string& bytes,
                                                   const DataMeaning& meaning) {
    EncodeOptions options{form.scheme, form.size, meaning};
    options.dmre = form.dmre;
    const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    Status failed;
    if (form.appendCount) {
        StructuredAppendOptions append{form.appendCount, static_cast<uint8_t>(form.appendId1),
                                       static_cast<uint8_t>(form.appendId2)};
        Result<std::vector<Symbol>> symbols = EncodeStructuredAppend(data, options, append);
        if (symbols) return std::move(symbols).value();
        failed = symbols.status();
    } else {
        Result<Symbol> symbol = Encode(data, options);
        if (symbol) return std::vector<Symbol>{std::move(symbol).value()};
        failed = symbol.status();
    }
    return Refuse(FromStd(failed.reason()), FixFor(failed, form));
}

// "22 × 22, 23 of 30 data codewords: ASCII 23"; DMRE sizes and the parts
// of a message say so.
QString Describe(const std::vector<Symbol>& symbols) {
    const Symbol& symbol = symbols.front();
    QStringList schemes;
    for (const SchemeRun& run : SchemeRunsOf(symbol))
        schemes << QStringLiteral("%1 %2").arg(QString::fromLatin1(SchemeName(run.scheme))).arg(run.codewords);
    QString text = FormText::tr("%1 × %2%3, %4 of %5 data codewords: %6")
                       .arg(symbol.rows())
                       .arg(symbol.cols())
                       .arg(IsDmreSize(symbol.sizeIndex()) ? QStringLiteral(" DMRE") : QString())
                       .arg(symbol.dataCodewords())
                       .arg(symbol.capacity())
                       .arg(schemes.join(QStringLiteral(", ")));
    if (symbols.size() > 1) text = FormText::tr("%1 symbols; the first %2").arg(symbols.size()).arg(text);
    return text;
}

// A GrImage through the drawing layer, the road every picture of the
// window takes, as a QImage.
QImage PictureOf(GrImage& image) {
    const int width = static_cast<int>(image.GetWidth()), height = static_cast<int>(image.GetHeight());
    QImage picture(width, height, QImage::Format_RGB32);
    const HDC dc = CreateDCForBuffer(picture.bits(), width, height, static_cast<int32_t>(picture.bytesPerLine()));
    const RECT area{0, 0, width, height};
    image.Draw(dc, 0, 0, width, height, &area, false);
    DeleteDC(dc);
    // The layer leaves the fourth byte 0; the image format wants it opaque.
    for (int row = 0; row < height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(row));
        for (int column = 0; column < width; ++column) line[column] |= 0xFF000000u;
    }
    return picture;
}

// The symbols side by side, a quiet zone's width apart, as Save writes
// them one a file.
std::variant<QImage, Refusal> Drawn(const std::vector<Symbol>& symbols, const Style& style) {
    std::vector<QImage> pictures;
    for (const Symbol& symbol : symbols) {
        GrImage image;
        if (const Status drawn = RenderSymbol(symbol, style, image); !drawn) return Refuse(FromStd(drawn.reason()));
        pictures.push_back(PictureOf(image));
    }
    if (pictures.size() == 1) return pictures.front();
    const int gap = std::max(1, ModulePixels(style) * 2);
    int width = -gap, height = 0;
    for (const QImage& picture : pictures) {
        width += picture.width() + gap;
        height = std::max(height, picture.height());
    }
    QImage joined(width, height, QImage::Format_RGB32);
    joined.fill(Qt::white);
    QPainter painter(&joined);
    int x = 0;
    for (const QImage& picture : pictures) {
        painter.drawImage(x, 0, picture);
        x += picture.width() + gap;
    }
    return joined;
}

}  // namespace

QString Refusal::Text() const {
    return fix.isEmpty() ? FormText::tr("Not encoded: %1.").arg(reason)
                         : FormText::tr("Not encoded: %1: %2.").arg(reason, fix);
}

Style StyleOf(const Form& form) {
    Style style;
    style.moduleSize = form.moduleSize;
    style.quietZone = form.quietZone;
    style.foreground = ToRrggbb(form.bars);
    style.background = ToRrggbb(form.background);
    style.backgroundAlpha = form.transparent ? 0 : 255;
    // A printer's resolution makes every format, vector ones too, give the
    // module whole dots, as the command line's --dpi does.
    style.dpi = form.dpi > 0 ? form.dpi : 96;
    style.wholeDots = form.dpi > 0;
    if (form.xdim > 0) style.xdimMillimetres = form.xdim;
    style.rotation = form.rotation;
    return style;
}

Outcome MakeSymbol(const Form& form) {
    std::string bytes;
    DataMeaning meaning{};
    if (std::optional<Refusal> refused = ReadData(form, bytes, meaning)) return *refused;
    Style style = StyleOf(form);
    if (const double contrast = ScanContrast(style); contrast < kLeastContrast)
        return Refuse(FormText::tr("the bars and the background are too alike for a scanner (a contrast of %1 %, "
                                   "at least %2 % is needed)")
                          .arg(static_cast<int>(contrast * 100))
                          .arg(static_cast<int>(kLeastContrast * 100)),
                      FormText::tr("choose colours further apart"));
    if (form.hri) {
        if (form.appendCount)
            return Refuse(FormText::tr("each symbol of a Structured Append message holds only a piece of the text"),
                          FormText::tr("untick Text under the symbol"));
        style.text = {HumanReadable(form.text.toStdString(), RuleOf(form))};
    }
    std::variant<std::vector<Symbol>, Refusal> symbols = Encoded(form, bytes, meaning);
    if (Refusal* refused = std::get_if<Refusal>(&symbols)) return *refused;
    Made made{std::move(std::get<std::vector<Symbol>>(symbols)), style, {}, {}};
    std::variant<QImage, Refusal> picture = Drawn(made.symbols, style);
    if (Refusal* refused = std::get_if<Refusal>(&picture)) return *refused;
    made.picture = std::move(std::get<QImage>(picture));
    made.description = Describe(made.symbols);
    return made;
}

}  // namespace glyphrun::app
