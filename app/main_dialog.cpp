#include "main_dialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <algorithm>

#include "about_dialog.h"
#include "app_icon.h"
#include "color_swatch_button.h"
#include "dialog_units.h"
#include "glyphrun/frontend.h"
#include "glyphrun/text_input.h"

namespace glyphrun::app {
namespace {

const char kSampleText[] = "Glyphrun 2026-12-07 ABC-123456";

// The mode drop-down: its items in order, each with the scheme it encodes in.
struct SchemeItem {
    const char* label;
    EncodeScheme scheme;
};
constexpr SchemeItem kSchemeItems[] = {
    {"E_ASCII", EncodeScheme::Ascii}, {"E_C40", EncodeScheme::C40},         {"E_TEXT", EncodeScheme::Text},
    {"E_X12", EncodeScheme::X12},     {"E_EDIFACT", EncodeScheme::Edifact}, {"E_BASE256", EncodeScheme::Base256},
};

QLineEdit* Edit(const char* name, const QString& value, const QRect& where, QWidget* parent) {
    auto* edit = new QLineEdit(value, parent);
    edit->setObjectName(name);
    edit->setGeometry(where);
    return edit;
}

QPushButton* Button(const char* name, const QString& text, const QRect& where, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(where);
    button->setAutoDefault(false);
    return button;
}

// A place under the preview, in dialog units of the whole window, made
// relative to the box that holds the controls.
QRect ControlRect(int x, int y, int width, int height) {
    return UnitsRect(x, y, width, height).translated(0, -CMainDialog::kControlsTop);
}

}  // namespace

CMainDialog::CMainDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Glyphrun"));
    setWindowIcon(AppIcon());
    setFont(DialogFont());
    setMinimumSize(Units(413), Units(317));  // 620 x 476; larger gives the preview the room
    resize(minimumSize());
    // Everything under the preview, as one: it keeps to the bottom of a
    // larger window, centred, and the preview takes the rest.
    auto* controls = new QWidget(this);
    controls->setObjectName("controls");
    controls->setGeometry(0, kControlsTop, kPreviewWidth, Units(317) - kControlsTop);
    m_controls = controls;

    // In the order of the template, which is the tab order.
    QPushButton* encode = Button("encodeButton", QStringLiteral("Encode"), ControlRect(135, 296, 50, 14), controls);
    encode->setDefault(true);  // the one default button
    QPushButton* exit = Button("exitButton", QStringLiteral("Exit"), ControlRect(347, 296, 50, 14), controls);
    QPushButton* save = Button("saveButton", QStringLiteral("Save"), ControlRect(203, 296, 50, 14), controls);
    (new QGroupBox(controls))->setGeometry(ControlRect(7, 216, 399, 71));
    PlacedLabel(QStringLiteral("Encode Mode"), ControlRect(17, 232, 51, 10), controls);
    m_comboMode = new QComboBox(controls);
    m_comboMode->setObjectName("modeCombo");
    m_comboMode->setEditable(true);
    m_comboMode->setInsertPolicy(QComboBox::NoInsert);
    for (const SchemeItem& item : kSchemeItems) m_comboMode->addItem(QString::fromLatin1(item.label));
    m_comboMode->setMaxVisibleItems(5);
    m_comboMode->setGeometry(ControlRect(75, 231, 63, 12));
    PlacedLabel(QStringLiteral("Module Size"), ControlRect(17, 251, 51, 10), controls);
    m_editModuleSize = Edit("moduleSizeEdit", QStringLiteral("4"), ControlRect(76, 250, 61, 12), controls);
    PlacedLabel(QStringLiteral("Margin"), ControlRect(145, 233, 33, 10), controls);
    m_editMargin = Edit("marginEdit", QStringLiteral("10"), ControlRect(183, 231, 61, 12), controls);
    m_btnBackground = new CColorSwatchButton(QStringLiteral("BackGround"), controls);
    m_btnBackground->setObjectName("backgroundButton");
    m_btnBackground->setGeometry(ControlRect(259, 229, 64, 13));
    m_btnBarColor = new CColorSwatchButton(QStringLiteral("Bar Color"), controls);
    m_btnBarColor->setObjectName("barColorButton");
    m_btnBarColor->setGeometry(ControlRect(332, 229, 62, 13));
    PlacedLabel(QStringLiteral("Text"), ControlRect(17, 269, 24, 10), controls);
    m_editText = Edit("textEdit", QString::fromLatin1(kSampleText), ControlRect(48, 268, 341, 12), controls);
    m_editText->setMaxLength(kBarcodeTextSize);  // one byte per character at most
    PlacedLabel(QStringLiteral("sizePattern"), ControlRect(146, 251, 52, 10), controls);
    m_editSizePattern = Edit("sizePatternEdit", QStringLiteral("-1"), ControlRect(211, 249, 61, 12), controls);
    // What the text means, under the colour buttons.
    m_checkGs1 = new QCheckBox(QStringLiteral("GS1"), controls);
    m_checkGs1->setObjectName("gs1Check");
    m_checkGs1->setToolTip(QStringLiteral("The text is GS1 element strings in brackets: (01)09506000134352(10)ABC"));
    m_checkGs1->setGeometry(ControlRect(280, 250, 32, 12));
    m_checkUtf8 = new QCheckBox(QStringLiteral("UTF-8"), controls);
    m_checkUtf8->setObjectName("utf8Check");
    m_checkUtf8->setToolTip(QStringLiteral("Any character: the text is encoded as UTF-8 and announced by ECI 26"));
    m_checkUtf8->setGeometry(ControlRect(314, 250, 40, 12));
    // Which sizes sizePattern reaches, beside what the text means.
    m_checkDmre = new QCheckBox(QStringLiteral("DMRE"), controls);
    m_checkDmre->setObjectName("dmreCheck");
    m_checkDmre->setToolTip(QStringLiteral("The DMRE rectangles too: sizePattern 30-47 picks one, and -2 the smallest "
                                           "rectangle of all (not every reader reads DMRE)"));
    m_checkDmre->setGeometry(ControlRect(356, 250, 40, 12));
    // A label's text, beside the buttons that save and copy it.
    m_checkHri = new QCheckBox(QStringLiteral("Text under the symbol"), controls);
    m_checkHri->setObjectName("hriCheck");
    m_checkHri->setToolTip(QStringLiteral("Print the data under the symbol for people to read, as GS1 and pharma "
                                          "labels require; in the preview, in Copy and in every saved file"));
    m_checkHri->setGeometry(ControlRect(12, 297, 110, 12));

    // A line between the preview and the controls.
    m_status = new QLabel(controls);
    m_status->setObjectName("statusLine");
    m_status->setGeometry(8, 0, kPreviewWidth - 16, 13);

    QWidget* order[] = {encode,          exit,          save,       m_comboMode,       m_editModuleSize, m_editMargin,
                        m_btnBackground, m_btnBarColor, m_editText, m_editSizePattern, m_checkGs1,       m_checkUtf8,
                        m_checkDmre,     m_checkHri};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    m_btnBackground->SetColor(RGB(255, 255, 255));
    m_btnBarColor->SetColor(RGB(0, 0, 0));
    m_comboMode->setCurrentIndex(0);

    connect(encode, &QPushButton::clicked, this, &CMainDialog::OnEncode);
    connect(save, &QPushButton::clicked, this, &CMainDialog::OnSave);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
    new QShortcut(QKeySequence::HelpContents, this, [this] { ShowAbout(); });  // F1
    new QShortcut(QKeySequence::Copy, this, [this] { OnCopy(); });

    m_notify = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    m_chooseSaveFile = [this] { return QFileDialog::getSaveFileName(this, QString(), m_lastFolder); };
    LoadSettings();
}

namespace {

QSettings Settings() { return QSettings(QStringLiteral("Glyphrun"), QStringLiteral("glyphrun")); }

}  // namespace

// The choices of the last run: a field keeps its default when the settings have none.
void CMainDialog::LoadSettings() {
    const QSettings settings = Settings();
    const auto text = [&](const char* key, QLineEdit* field) {
        field->setText(settings.value(QLatin1String(key), field->text()).toString());
    };
    // The combo box is editable: text that names no item stays as typed (the automatic choice).
    const QString mode = settings.value(QStringLiteral("mode"), m_comboMode->currentText()).toString();
    if (const int item = m_comboMode->findText(mode); item >= 0)
        m_comboMode->setCurrentIndex(item);
    else
        m_comboMode->setEditText(mode);
    text("moduleSize", m_editModuleSize);
    text("margin", m_editMargin);
    text("sizePattern", m_editSizePattern);
    m_btnBackground->SetColor(settings.value(QStringLiteral("background"), m_btnBackground->GetColor()).toUInt());
    m_btnBarColor->SetColor(settings.value(QStringLiteral("barColor"), m_btnBarColor->GetColor()).toUInt());
    m_checkGs1->setChecked(settings.value(QStringLiteral("gs1"), false).toBool());
    m_checkUtf8->setChecked(settings.value(QStringLiteral("utf8"), false).toBool());
    m_checkDmre->setChecked(settings.value(QStringLiteral("dmre"), false).toBool());
    m_checkHri->setChecked(settings.value(QStringLiteral("hri"), false).toBool());
    m_lastFolder = settings.value(QStringLiteral("folder")).toString();
}

void CMainDialog::SaveSettings() {
    QSettings settings = Settings();
    settings.setValue(QStringLiteral("mode"), m_comboMode->currentText());
    settings.setValue(QStringLiteral("moduleSize"), m_editModuleSize->text());
    settings.setValue(QStringLiteral("margin"), m_editMargin->text());
    settings.setValue(QStringLiteral("sizePattern"), m_editSizePattern->text());
    settings.setValue(QStringLiteral("background"), static_cast<uint>(m_btnBackground->GetColor()));
    settings.setValue(QStringLiteral("barColor"), static_cast<uint>(m_btnBarColor->GetColor()));
    settings.setValue(QStringLiteral("gs1"), m_checkGs1->isChecked());
    settings.setValue(QStringLiteral("utf8"), m_checkUtf8->isChecked());
    settings.setValue(QStringLiteral("dmre"), m_checkDmre->isChecked());
    settings.setValue(QStringLiteral("hri"), m_checkHri->isChecked());
    settings.setValue(QStringLiteral("folder"), m_lastFolder);
}

EncodeScheme CMainDialog::SchemeForItem(int item) {
    return item >= 0 && item < static_cast<int>(std::size(kSchemeItems)) ? kSchemeItems[item].scheme
                                                                         : EncodeScheme::AutoBest;
}

namespace {

// "22 x 22 symbol, 23 of 30 data codewords: ASCII 23"; "8 x 48 DMRE symbol, ..."
QString StatusOf(const Symbol& symbol) {
    QStringList schemes;
    for (const SchemeRun& run : SchemeRunsOf(symbol))
        schemes << QStringLiteral("%1 %2").arg(QString::fromLatin1(SchemeName(run.scheme))).arg(run.codewords);
    return QStringLiteral("%1 x %2 %3symbol, %4 of %5 data codewords: %6")
        .arg(symbol.rows())
        .arg(symbol.cols())
        .arg(IsDmreSize(symbol.sizeIndex()) ? QStringLiteral("DMRE ") : QString())
        .arg(symbol.dataCodewords())
        .arg(symbol.capacity())
        .arg(schemes.join(QStringLiteral(", ")));
}

}  // namespace

// A field that does not hold a whole number in range stops the encode.
bool CMainDialog::ReadNumber(QLineEdit* field, const QString& name, int low, int high, int& value) {
    bool ok = false;
    value = field->text().trimmed().toInt(&ok);
    if (ok && value >= low && value <= high) return true;
    m_notify(QStringLiteral("%1 must be a whole number from %2 to %3.").arg(name).arg(low).arg(high));
    field->setFocus();
    field->selectAll();
    return false;
}

void CMainDialog::OnEncode() {
    int moduleSize, margin, sizePattern;
    const bool dmre = m_checkDmre->isChecked();
    if (!ReadNumber(m_editModuleSize, QStringLiteral("Module Size"), 1, 50, moduleSize) ||
        !ReadNumber(m_editMargin, QStringLiteral("Margin"), 0, 500, margin) ||
        !ReadNumber(m_editSizePattern, QStringLiteral("sizePattern"), kSmallestRectangle,
                    (dmre ? kAllSymbolSizeCount : kSymbolSizeCount) - 1, sizePattern))
        return;
    std::string bytes;
    DataMeaning meaning{};
    if (!ReadData(bytes, meaning)) return;
    // Typed text that matches no item selects none: the automatic choice.
    EncodeOptions options{SchemeForItem(m_comboMode->findText(m_comboMode->currentText())), sizePattern, meaning};
    options.dmre = dmre;

    // One symbol, kept: the preview and Copy show it, Save writes it.
    Result<Symbol> encoded = Encode({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, options);
    m_symbol.reset();
    m_image.Destroy();  // no symbol after a failure
    if (!encoded) {
        const QString message =
            QStringLiteral("Nothing was encoded: %1.").arg(QString::fromStdString(encoded.reason()));
        m_status->setText(message);
        m_notify(message);
        update();
        return;
    }
    m_symbol.emplace(std::move(encoded).value());
    m_style = Style{};
    m_style.moduleSize = moduleSize;
    m_style.marginPixels = margin;  // the Margin field counts pixels, not modules
    m_style.foreground = ToRrggbb(m_btnBarColor->GetColor());
    m_style.background = ToRrggbb(m_btnBackground->GetColor());
    if (m_checkHri->isChecked()) {
        InputRule rule;
        rule.gs1 = m_checkGs1->isChecked();
        m_style.text = {HumanReadable(m_editText->text().toStdString(), rule)};
    }
    m_status->setText(StatusOf(*m_symbol));
    SaveSettings();  // choices that made a symbol are kept for the next run
    if (const Status drawn = RenderSymbol(*m_symbol, m_style, m_image); !drawn)
        m_notify(QStringLiteral("The symbol could not be shown: %1.").arg(QString::fromStdString(drawn.reason())));
    update();
}

void CMainDialog::RefuseText(const QString& message) {
    m_notify(message);
    m_editText->setFocus();
}

// The bytes of the text and what they mean, by the command line's rule:
// text up to U+00FF as ISO 8859-1 bytes; with "UTF-8" any character, as
// UTF-8 under ECI 26; with "GS1" element strings in brackets, checked.
// False after telling what is wrong.
bool CMainDialog::ReadData(std::string& bytes, DataMeaning& meaning) {
    const bool gs1 = m_checkGs1->isChecked(), utf8 = m_checkUtf8->isChecked();
    if (gs1 && utf8) {
        RefuseText(QStringLiteral("GS1 data carries no ECI: tick GS1 or UTF-8, not both."));
        return false;
    }
    const QString text = m_editText->text();
    const InputRule rule{gs1, false, utf8 ? std::optional<int32_t>(kUtf8Eci) : std::nullopt};
    if (const Status prepared = PrepareInput(text.toStdString(), rule, bytes, meaning); !prepared) {
        RefuseText(
            prepared.Is(InputError::BadGs1)
                ? QStringLiteral("The GS1 data is not valid: %1.").arg(QString::fromStdString(prepared.reason()))
                : QStringLiteral("The text cannot be encoded: %1.").arg(QString::fromStdString(prepared.reason())));
        return false;
    }
    // Without the box the rule would put text beyond ISO 8859-1 under ECI 26
    // by itself; the window asks for the box instead, so that a symbol some
    // readers show wrongly is made only by choice.
    if (!utf8 && meaning.eciGiven) {
        const QList<uint> codes = text.toUcs4();
        const auto beyond = std::find_if(codes.begin(), codes.end(), [](uint code) { return code > 0xFF; });
        const char32_t code = beyond == codes.end() ? U'\uFFFD' : static_cast<char32_t>(*beyond);
        RefuseText(QStringLiteral("The character \"%1\" (U+%2) at position %3 is not in ISO 8859-1: tick UTF-8 to "
                                  "encode it under ECI 26.")
                       .arg(QString::fromUcs4(&code, 1))
                       .arg(QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, QLatin1Char('0')))
                       .arg(beyond - codes.begin() + 1));
        return false;
    }
    if (bytes.size() > static_cast<size_t>(kBarcodeTextSize)) {
        RefuseText(QStringLiteral("The text takes %1 bytes; at most %2 can be encoded.")
                       .arg(bytes.size())
                       .arg(kBarcodeTextSize));
        return false;
    }
    return true;
}

void CMainDialog::OnSave() {
    if (!m_symbol) {
        m_notify(QStringLiteral("Nothing to save: press Encode first."));
        return;
    }
    const QString path = m_chooseSaveFile();
    if (path.isEmpty()) return;
    m_lastFolder = QFileInfo(path).absolutePath();
    SaveSettings();
    // Every format from the symbol itself; a name with none of their
    // extensions is refused, saying which there are.
    if (const Status saved = SaveSymbol(*m_symbol, QFile::encodeName(path).toStdString(), m_style); !saved)
        m_notify(QStringLiteral("The symbol was not saved: %1.").arg(QString::fromStdString(saved.reason())));
}

// The symbol drawn through the drawing layer into a `width` x `height`
// image at (x, y), `cx` x `cy` pixels, clipped to the image.
QImage CMainDialog::Drawn(int width, int height, int x, int y, int cx, int cy, const QColor& fill) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    const HDC dc =
        CreateDCForBuffer(image.bits(), image.width(), image.height(), static_cast<int32_t>(image.bytesPerLine()));
    const RECT area{0, 0, width, height};
    m_image.Draw(dc, x, y, cx, cy, &area, false);
    DeleteDC(dc);
    // The layer leaves the fourth byte 0; the image format wants it opaque.
    for (int row = 0; row < image.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int column = 0; column < image.width(); ++column) line[column] |= 0xFF000000u;
    }
    return image;
}

QSize CMainDialog::PreviewArea() const { return QSize(width(), m_controls->y() + 2); }

void CMainDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_controls->move((width() - m_controls->width()) / 2, height() - m_controls->height());
}

// A symbol larger than the preview is shown shrunk by a whole factor, so
// that its modules stay whole pixels wherever the factor divides them; the
// preview never covers the controls, and Save and Copy keep the full size.
void CMainDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (m_image.GetHeight() == 0 || !m_image.IsValid()) return;
    const int width = static_cast<int>(m_image.GetWidth()), height = static_cast<int>(m_image.GetHeight());
    const QSize area = PreviewArea();
    const int shrink =
        std::max({1, (width + area.width() - 1) / area.width(), (height + area.height() - 1) / area.height()});
    const int cx = width / shrink, cy = height / shrink;
    const QImage preview = Drawn(area.width(), area.height(), (area.width() - cx) / 2, (area.height() - cy) / 2, cx, cy,
                                 palette().color(QPalette::Window));
    QPainter(this).drawImage(0, 0, preview);
}

void CMainDialog::OnCopy() {
    if (!m_image.IsValid()) {
        m_notify(QStringLiteral("Nothing to copy: press Encode first."));
        return;
    }
    const int width = static_cast<int>(m_image.GetWidth()), height = static_cast<int>(m_image.GetHeight());
    QGuiApplication::clipboard()->setImage(Drawn(width, height, 0, 0, width, height, Qt::white));
}

void CMainDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy"), this, &CMainDialog::OnCopy);
    menu.addAction(QStringLiteral("关于 Glyphrun(&A)..."), this, &CMainDialog::ShowAbout);
    menu.exec(event->globalPos());
}

void CMainDialog::ShowAbout() {
    CAboutDialog about(this);
    about.exec();
}

}  // namespace glyphrun::app
