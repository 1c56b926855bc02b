#include "main_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QDrag>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "about_dialog.h"
#include "app_icon.h"
#include "color_swatch_button.h"
#include "glyphrun/ecc200.h"
#include "glyphrun/names.h"
#include "glyphrun/safe_file.h"

namespace glyphrun::app {

// The symbol, shrunk by a whole factor when it is larger than the room so
// that its modules stay whole pixels wherever the factor divides them;
// dragged out, it is the image Copy gives.
class Preview : public QWidget {
public:
    explicit Preview(QWidget* parent) : QWidget(parent) {
        setObjectName("preview");
        setMinimumSize(300, 200);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    void SetPicture(const QImage& picture) {
        m_picture = picture;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_picture.isNull()) return;
        const int shrink =
            std::max({1, (m_picture.width() + width() - 1) / width(), (m_picture.height() + height() - 1) / height()});
        const QSize size = m_picture.size() / shrink;
        QPainter(this).drawImage(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size),
                                 m_picture);
    }
    void mousePressEvent(QMouseEvent* event) override { m_pressedAt = event->position().toPoint(); }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton) || m_picture.isNull() ||
            (event->position().toPoint() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
            return;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setImageData(m_picture);
        drag->setMimeData(data);
        drag->setPixmap(QPixmap::fromImage(m_picture.scaled(64, 64, Qt::KeepAspectRatio)));
        drag->exec(Qt::CopyAction);
    }

private:
    QImage m_picture;
    QPoint m_pressedAt;
};

namespace {

const char kSampleText[] = "Glyphrun 2026-12-07 ABC-123456";

// The mode list: what a person reads, and the command line's name of the
// scheme behind it, which the settings keep.
struct SchemeItem {
    const char* label;
    const char* name;
};
constexpr SchemeItem kSchemeItems[] = {
    {QT_TRANSLATE_NOOP("glyphrun::app::CMainDialog", "Smallest (recommended)"), "minimal"},
    {QT_TRANSLATE_NOOP("glyphrun::app::CMainDialog", "Automatic (classic)"), "auto"},
    {"ASCII", "ascii"},
    {"C40", "c40"},
    {"Text", "text"},
    {"X12", "x12"},
    {"EDIFACT", "edifact"},
    {"Base 256", "base256"},
};

template <typename Box>
Box* Named(Box* box, const char* name) {
    box->setObjectName(name);
    return box;
}

QSpinBox* Spin(const char* name, int low, int high, int value, const QString& suffix = {}) {
    auto* spin = Named(new QSpinBox, name);
    spin->setRange(low, high);
    spin->setValue(value);
    spin->setSuffix(suffix);
    return spin;
}

QCheckBox* Check(const char* name, const QString& text, const QString& tip) {
    auto* box = Named(new QCheckBox(text), name);
    box->setToolTip(tip);
    return box;
}

// A titled group that folds away behind its title.
QWidget* Collapsible(const char* name, const QString& title, QWidget* content) {
    auto* group = Named(new QWidget, name);
    auto* toggle = Named(new QToolButton, "toggle");
    toggle->setText(title);
    toggle->setCheckable(true);
    toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle->setArrowType(Qt::RightArrow);
    toggle->setAutoRaise(true);
    content->setVisible(false);
    QObject::connect(toggle, &QToolButton::toggled, content, [toggle, content](bool open) {
        toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        content->setVisible(open);
    });
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toggle);
    layout->addWidget(content);
    return group;
}

QSettings Settings() { return QSettings(QStringLiteral("Glyphrun"), QStringLiteral("glyphrun")); }

// A field's value as a setting, whatever kind of field it is.
QVariant ValueOf(const QWidget* field) {
    if (auto* spin = qobject_cast<const QSpinBox*>(field)) return spin->value();
    if (auto* spin = qobject_cast<const QDoubleSpinBox*>(field)) return spin->value();
    if (auto* swatch = qobject_cast<const CColorSwatchButton*>(field)) return static_cast<uint>(swatch->GetColor());
    if (auto* box = qobject_cast<const QAbstractButton*>(field)) return box->isChecked();  // a box, a group's toggle
    if (auto* combo = qobject_cast<const QComboBox*>(field)) return combo->currentData();
    return {};
}

void SetValue(QWidget* field, const QVariant& value) {
    if (auto* spin = qobject_cast<QSpinBox*>(field)) return spin->setValue(value.toInt());
    if (auto* spin = qobject_cast<QDoubleSpinBox*>(field)) return spin->setValue(value.toDouble());
    if (auto* swatch = qobject_cast<CColorSwatchButton*>(field)) return swatch->SetColor(value.toUInt());
    if (auto* box = qobject_cast<QAbstractButton*>(field)) return box->setChecked(value.toBool());
    if (auto* combo = qobject_cast<QComboBox*>(field))
        if (const int item = combo->findData(value); item >= 0) combo->setCurrentIndex(item);
}

// "label.png" for the second symbol of a message is "label-2.png".
QString NumberedName(const QString& path, int number) {
    return QString::fromStdString(NumberedPath(QFile::encodeName(path).toStdString(), number));
}

}  // namespace

CMainDialog::CMainDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Glyphrun"));
    setWindowIcon(AppIcon());
    BuildControls();
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMilliseconds);
    connect(&m_settle, &QTimer::timeout, this, &CMainDialog::EncodeInBackground);
    m_chooseSaveFile = [this] {
        QFileDialog chooser(this, tr("Save the symbol"), m_lastFolder);
        chooser.setAcceptMode(QFileDialog::AcceptSave);
        const QStringList filters{tr("PNG image (*.png)"),   tr("GIF image (*.gif)"),   tr("BMP image (*.bmp)"),
                                  tr("SVG drawing (*.svg)"), tr("EPS drawing (*.eps)"), tr("PDF document (*.pdf)")};
        chooser.setNameFilters(filters);
        if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return SaveChoice{};
        const QString filter = chooser.selectedNameFilter();
        return SaveChoice{chooser.selectedFiles().front(),
                          filter.mid(filter.indexOf(QLatin1String("*.")) + 2).chopped(1)};
    };
    LoadSettings();
    OnEncode();
}

CMainDialog::~CMainDialog() = default;

void CMainDialog::BuildControls() {
    m_preview = new Preview(this);
    m_status = Named(new QLabel, "statusLine");
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_editText = Named(new QLineEdit(QString::fromLatin1(kSampleText)), "textEdit");
    // A field cuts what it is given past its longest; no symbol holds even
    // a tenth of this, so a text this long is refused, never cut and encoded.
    m_editText->setMaxLength(1 << 20);
    m_comboMode = Named(new QComboBox, "modeCombo");
    for (const SchemeItem& item : kSchemeItems) m_comboMode->addItem(tr(item.label), QString::fromLatin1(item.name));
    m_comboSize = Named(new QComboBox, "sizeCombo");
    m_comboSize->setMaxVisibleItems(16);
    FillSizes();
    m_spinModule = Spin("moduleSizeSpin", 1, 50, 4, tr(" px"));
    m_spinModule->setToolTip(tr("Pixels a module in the picture and in PNG, GIF and BMP files"));
    m_btnBarColor = Named(new CColorSwatchButton(tr("Bars")), "barColorButton");
    m_btnBackground = Named(new CColorSwatchButton(tr("Background")), "backgroundButton");
    m_btnBarColor->SetColor(RGB(0, 0, 0));
    m_btnBackground->SetColor(RGB(255, 255, 255));
    m_checkHri = Check("hriCheck", tr("Text under the symbol"),
                       tr("Print the data under the symbol for people to read, as GS1 and pharma labels require; "
                          "in the preview, in Copy and in every saved file"));

    auto* form = new QFormLayout;
    form->addRow(tr("&Text"), m_editText);
    auto* choices = new QHBoxLayout;
    choices->addWidget(m_comboMode);
    choices->addWidget(new QLabel(tr("Size")));
    choices->addWidget(m_comboSize, 1);
    choices->addWidget(new QLabel(tr("Module")));
    choices->addWidget(m_spinModule);
    for (CColorSwatchButton* swatch : {m_btnBarColor, m_btnBackground}) {
        swatch->setMinimumWidth(swatch->fontMetrics().horizontalAdvance(swatch->text()) + 32);
        choices->addWidget(swatch);
    }
    form->addRow(tr("Mode"), choices);

    auto* encode = Named(new QPushButton(tr("&Encode")), "encodeButton");
    encode->setDefault(true);  // Return encodes
    auto* save = Named(new QPushButton(tr("&Save...")), "saveButton");
    auto* copy = Named(new QPushButton(tr("&Copy")), "copyButton");
    auto* exit = Named(new QPushButton(tr("E&xit")), "exitButton");
    for (QPushButton* button : {save, copy, exit}) button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_checkHri);
    buttons->addStretch();
    for (QPushButton* button : {encode, save, copy, exit}) buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_preview, 1);
    layout->addWidget(m_status);
    layout->addLayout(form);
    QWidget* print = Collapsible("printGroup", tr("Print"), BuildPrintGroup());
    QWidget* more = Collapsible("moreGroup", tr("More"), BuildMoreGroup());
    layout->addWidget(print);
    layout->addWidget(more);
    layout->addLayout(buttons);
    resize(640, 560);

    // The DMRE box before the size, whose list it fills.
    m_remembered = {{"mode", m_comboMode},
                    {"dmre", m_checkDmre},
                    {"sizePattern", m_comboSize},
                    {"moduleSize", m_spinModule},
                    {"barColor", m_btnBarColor},
                    {"background", m_btnBackground},
                    {"quietZone", m_spinQuietZone},
                    {"dpi", m_spinDpi},
                    {"xdim", m_spinXdim},
                    {"rotation", m_comboRotation},
                    {"transparent", m_checkTransparent},
                    {"gs1", m_checkGs1},
                    {"utf8", m_checkUtf8},
                    {"readerInit", m_checkReaderInit},
                    {"hri", m_checkHri},
                    {"printOpen", print->findChild<QToolButton*>("toggle")},
                    {"moreOpen", more->findChild<QToolButton*>("toggle")}};
    // Every edit of every field, the text's and the remembered ones, and the message identification.
    connect(m_editText, &QLineEdit::textChanged, this, &CMainDialog::Changed);
    for (QWidget* field : findChildren<QWidget*>()) {
        if (auto* spin = qobject_cast<QSpinBox*>(field))
            connect(spin, &QSpinBox::valueChanged, this, &CMainDialog::Changed);
        if (auto* spin = qobject_cast<QDoubleSpinBox*>(field))
            connect(spin, &QDoubleSpinBox::valueChanged, this, &CMainDialog::Changed);
        if (auto* box = qobject_cast<QCheckBox*>(field)) connect(box, &QCheckBox::toggled, this, &CMainDialog::Changed);
        if (auto* combo = qobject_cast<QComboBox*>(field))
            connect(combo, &QComboBox::currentIndexChanged, this, &CMainDialog::Changed);
        if (auto* swatch = qobject_cast<CColorSwatchButton*>(field))
            connect(swatch, &CColorSwatchButton::ColorChanged, this, &CMainDialog::Changed);
        // Ctrl+C in a field without a selection copies the symbol (eventFilter).
        if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->installEventFilter(this);
    }
    connect(m_checkDmre, &QCheckBox::toggled, this, &CMainDialog::FillSizes);
    connect(m_spinDpi, &QSpinBox::valueChanged, this, &CMainDialog::ShowPrintedSize);
    connect(m_spinXdim, &QDoubleSpinBox::valueChanged, this, &CMainDialog::ShowPrintedSize);
    connect(encode, &QPushButton::clicked, this, &CMainDialog::OnEncode);
    connect(save, &QPushButton::clicked, this, &CMainDialog::OnSave);
    connect(copy, &QPushButton::clicked, this, &CMainDialog::OnCopy);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
    new QShortcut(QKeySequence::HelpContents, this, [this] { ShowAbout(); });  // F1
    new QShortcut(QKeySequence::Copy, this, [this] { OnCopy(); });
}

QWidget* CMainDialog::BuildPrintGroup() {
    m_spinDpi = Spin("dpiSpin", 0, 100000, 0, tr(" dpi"));
    m_spinDpi->setSpecialValueText(tr("screen"));
    m_spinDpi->setToolTip(tr("The printer's resolution: every file gives a module whole dots of it"));
    m_spinXdim = Named(new QDoubleSpinBox, "xdimSpin");
    m_spinXdim->setRange(0, 25);
    m_spinXdim->setDecimals(3);
    m_spinXdim->setSingleStep(0.01);
    m_spinXdim->setSuffix(tr(" mm"));
    m_spinXdim->setSpecialValueText(tr("from the module size"));
    m_spinXdim->setToolTip(tr("The printed side of a module (the X-dimension)"));
    m_printedSize = Named(new QLabel, "printedSize");
    m_spinQuietZone = Spin("quietZoneSpin", 0, 100, 2, tr(" modules"));
    m_comboRotation = Named(new QComboBox, "rotationCombo");
    for (int degrees : {0, 90, 180, 270}) m_comboRotation->addItem(tr("%1°").arg(degrees), degrees);
    m_checkTransparent = Check("transparentCheck", tr("Transparent background"),
                               tr("The page shows through (PNG, GIF, SVG and EPS; BMP has no transparency)"));
    auto* group = new QWidget;
    auto* layout = new QFormLayout(group);
    layout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    auto* xdim = new QHBoxLayout;
    xdim->addWidget(m_spinXdim);
    xdim->addWidget(m_printedSize, 1);
    layout->addRow(tr("Resolution"), m_spinDpi);
    layout->addRow(tr("X-dimension"), xdim);
    layout->addRow(tr("Quiet zone"), m_spinQuietZone);
    layout->addRow(tr("Rotation"), m_comboRotation);
    layout->addRow(QString(), m_checkTransparent);
    return group;
}

QWidget* CMainDialog::BuildMoreGroup() {
    m_checkGs1 =
        Check("gs1Check", tr("GS1"), tr("The text is GS1 element strings in brackets: (01)09506000134352(10)ABC"));
    m_checkUtf8 =
        Check("utf8Check", tr("UTF-8"), tr("Any character: the text is encoded as UTF-8 and announced by ECI 26"));
    m_checkDmre = Check("dmreCheck", tr("DMRE sizes"),
                        tr("Offer the DMRE rectangles among the sizes (not every reader reads DMRE)"));
    m_checkReaderInit =
        Check("readerInitCheck", tr("Reader programming"), tr("A symbol that sets up the reader that reads it"));
    m_spinAppendCount = Spin("appendCountSpin", 1, kMaxAppendSymbols, 1, tr(" symbols"));
    m_spinAppendCount->setSpecialValueText(tr("one symbol"));
    m_spinAppendCount->setToolTip(tr("Structured Append: the text spread over 2 to 16 symbols that a reader joins; "
                                     "Save writes one numbered file each"));
    m_spinAppendId1 = Spin("appendId1Spin", 1, 254, 1);
    m_spinAppendId2 = Spin("appendId2Spin", 1, 254, 1);
    for (QSpinBox* id : {m_spinAppendId1, m_spinAppendId2})
        id->setToolTip(tr("The message's identification, which tells its symbols from another message's"));
    auto* group = new QWidget;
    auto* layout = new QFormLayout(group);
    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box : {m_checkGs1, m_checkUtf8, m_checkDmre, m_checkReaderInit}) boxes->addWidget(box);
    boxes->addStretch();
    auto* append = new QHBoxLayout;
    append->addWidget(m_spinAppendCount);
    append->addWidget(new QLabel(tr("identification")));
    append->addWidget(m_spinAppendId1);
    append->addWidget(m_spinAppendId2);
    append->addStretch();
    layout->addRow(boxes);
    layout->addRow(tr("Structured Append"), append);
    return group;
}

// The families, then every size as a person reads it; DMRE sizes only when
// they are offered. The choice is kept where it is still listed.
void CMainDialog::FillSizes() {
    const QVariant chosen = m_comboSize->currentData();
    const QSignalBlocker quiet(m_comboSize);
    m_comboSize->clear();
    m_comboSize->addItem(tr("Smallest square"), kSmallestSquare);
    m_comboSize->addItem(tr("Smallest rectangle"), kSmallestRectangle);
    const bool dmre = m_checkDmre && m_checkDmre->isChecked();
    if (dmre) m_comboSize->addItem(tr("Smallest rectangle, DMRE too"), kSmallestRectangleOrDmre);
    for (int32_t index = 0; index < (dmre ? kAllSymbolSizeCount : kSymbolSizeCount); ++index) {
        const auto attribute = [index](SymbolAttribute which) { return QuerySymbolAttribute(which, index); };
        m_comboSize->addItem(
            (IsDmreSize(index) ? tr("%1 × %2 (%3 data codewords, DMRE)") : tr("%1 × %2 (%3 data codewords)"))
                .arg(attribute(SymbolAttribute::AttrSymbolRows))
                .arg(attribute(SymbolAttribute::AttrSymbolCols))
                .arg(attribute(SymbolAttribute::AttrDataCodewords)),
            index);
    }
    m_comboSize->setCurrentIndex(std::max(0, m_comboSize->findData(chosen)));
}

Form CMainDialog::ReadForm() const {
    Form form;
    form.text = m_editText->text();
    form.scheme = SchemeOfName(m_comboMode->currentData().toString().toStdString()).value_or(EncodeScheme::AutoMinimal);
    form.size = m_comboSize->currentData().toInt();
    form.moduleSize = m_spinModule->value();
    form.quietZone = m_spinQuietZone->value();
    form.bars = m_btnBarColor->GetColor();
    form.background = m_btnBackground->GetColor();
    form.transparent = m_checkTransparent->isChecked();
    form.dpi = m_spinDpi->value();
    form.xdim = m_spinXdim->value();
    form.rotation = m_comboRotation->currentData().toInt();
    form.gs1 = m_checkGs1->isChecked();
    form.utf8 = m_checkUtf8->isChecked();
    form.dmre = m_checkDmre->isChecked();
    form.readerInit = m_checkReaderInit->isChecked();
    form.hri = m_checkHri->isChecked();
    form.appendCount = m_spinAppendCount->value() > 1 ? m_spinAppendCount->value() : 0;
    form.appendId1 = m_spinAppendId1->value();
    form.appendId2 = m_spinAppendId2->value();
    return form;
}

void CMainDialog::SetText(const QString& text) {
    m_editText->setText(text);
    OnEncode();
}

void CMainDialog::Changed() {
    ++m_generation;
    m_settle.start();
}

void CMainDialog::EncodeInBackground() {
    const uint64_t generation = m_generation;
    auto* watcher = new QFutureWatcher<Outcome>(this);
    connect(watcher, &QFutureWatcher<Outcome>::finished, this, [this, watcher, generation] {
        Show(watcher->result(), generation);
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(MakeSymbol, ReadForm()));
}

void CMainDialog::OnEncode() {
    m_settle.stop();
    Show(MakeSymbol(ReadForm()), m_generation);
}

const Made* CMainDialog::Current() {
    if (m_shownGeneration != m_generation) OnEncode();
    return Shown();
}

// The outcome of the fields as they were at `generation`; an older one
// than what is shown, or than the fields now, is dropped.
void CMainDialog::Show(Outcome outcome, uint64_t generation) {
    if (generation != m_generation || generation == m_shownGeneration) return;
    m_shownGeneration = generation;
    if (Refusal* refused = std::get_if<Refusal>(&outcome)) {
        m_made.reset();
        m_preview->SetPicture({});
        SetStatus(refused->Text(), true);
        return;
    }
    m_made.emplace(std::move(std::get<Made>(outcome)));
    m_preview->SetPicture(m_made->picture);
    SetStatus(m_made->description, false);
    SaveSettings();  // choices that made a symbol are kept for the next run
}

void CMainDialog::SetStatus(const QString& text, bool failed) {
    m_status->setText(text);
    m_status->setStyleSheet(failed ? QStringLiteral("color: #b00020") : QString());
}

void CMainDialog::ShowPrintedSize() {
    Form form = ReadForm();
    const Style style = StyleOf(form);
    m_printedSize->setText(form.xdim > 0 || form.dpi > 0 ? tr("prints %1 mm a module, %2 dots at %3 dpi")
                                                               .arg(ModuleMillimetres(style, Format::Png), 0, 'f', 3)
                                                               .arg(ModulePixels(style))
                                                               .arg(style.dpi)
                                                         : QString());
}

// The choices of the last run: a field keeps its default when the settings have none.
void CMainDialog::LoadSettings() {
    const QSettings settings = Settings();
    for (const auto& [key, field] : m_remembered) SetValue(field, settings.value(QLatin1String(key), ValueOf(field)));
    m_lastFolder = settings.value(QStringLiteral("folder")).toString();
}

void CMainDialog::SaveSettings() const {
    QSettings settings = Settings();
    for (const auto& [key, field] : m_remembered) settings.setValue(QLatin1String(key), ValueOf(field));
}

void CMainDialog::OnSave() {
    const Made* made = Current();
    if (!made) return;  // the status line says why
    SaveChoice choice = m_chooseSaveFile();
    if (choice.path.isEmpty()) return;
    if (QFileInfo(choice.path).suffix().isEmpty()) choice.path += QLatin1Char('.') + choice.extension;
    m_lastFolder = QFileInfo(choice.path).absolutePath();
    Settings().setValue(QStringLiteral("folder"), m_lastFolder);
    SaveFiles(*made, choice.path);
}

// One file, or the numbered files of a message, all written or none.
void CMainDialog::SaveFiles(const Made& made, const QString& path) {
    const std::string name = QFile::encodeName(path).toStdString();
    const std::optional<Format> format = FormatOfPath(name);
    Status saved;
    if (made.symbols.size() == 1 || !format) {
        saved = SaveSymbol(made.symbols.front(), name, made.style);  // a name of no format: refused, naming them
    } else {
        FileSet set;
        for (size_t i = 0; i < made.symbols.size() && saved; ++i) {
            Result<std::string> file = WriteSymbol(made.symbols[i], *format, made.style);
            saved = file ? set.Add(NumberedPath(name, static_cast<int32_t>(i + 1)), file.value()) : file.status();
        }
        if (saved) saved = set.PutInPlace();
    }
    if (!saved) return SetStatus(tr("Not saved: %1.").arg(QString::fromStdString(saved.reason())), true);
    SetStatus(made.symbols.size() == 1
                  ? tr("Saved %1.").arg(path)
                  : tr("Saved %1 to %2.")
                        .arg(NumberedName(path, 1), NumberedName(path, static_cast<int>(made.symbols.size()))),
              false);
}

void CMainDialog::OnCopy() {
    if (const Made* made = Current()) QGuiApplication::clipboard()->setImage(made->picture);
}

// Ctrl+C in a field copies its selected text as always, and the symbol
// when nothing is selected: the field lets the window's shortcut have it.
bool CMainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
        if (auto* edit = qobject_cast<QLineEdit*>(watched); edit && !edit->hasSelectedText()) return true;
    return QDialog::eventFilter(watched, event);
}

void CMainDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr("Copy"), this, &CMainDialog::OnCopy);
    menu.addAction(tr("&About Glyphrun..."), this, &CMainDialog::ShowAbout);
    menu.exec(event->globalPos());
}

void CMainDialog::ShowAbout() {
    CAboutDialog about(this);
    about.exec();
}

}  // namespace glyphrun::app
