// The window, driven as a user drives it (offscreen).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "about_dialog.h"
#include "color_swatch_button.h"
#include "glyphrun/version.h"
#include "image_readers.h"
#include "language.h"
#include "main_dialog.h"
#include "temp_folder.h"

namespace glyphrun::app {
namespace {

using namespace glyphrun::testing;

Picture PictureOf(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGBX8888);
    Picture picture{rgb.width(), rgb.height(), std::vector<Rgba>(static_cast<size_t>(rgb.width()) * rgb.height())};
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(&picture.pixels[static_cast<size_t>(y) * rgb.width()], rgb.constScanLine(y), 4 * rgb.width());
    return picture;
}

struct Window {
    CMainDialog dialog;
    QTemporaryDir folder;
    SaveChoice choice;  // what the save chooser answers
    Window() {
        dialog.SetSaveChooser([this] { return choice; });
    }
    template <typename T>
    T* Find(const char* name) {
        return dialog.findChild<T*>(name);
    }
    void Set(const char* field, const QString& value) { Find<QLineEdit>(field)->setText(value); }
    void Check(const char* box, bool on) { Find<QCheckBox>(box)->setChecked(on); }
    void Choose(const char* combo, const QVariant& value) {
        auto* box = Find<QComboBox>(combo);
        box->setCurrentIndex(box->findData(value));
    }
    void Encode() { Find<QPushButton>("encodeButton")->click(); }
    QString Status() { return Find<QLabel>("statusLine")->text(); }
    // Saves under `name` in the folder, the chooser's type `extension`; the path asked for.
    std::string Save(const char* name, const char* extension = "png") {
        choice = {folder.filePath(QString::fromUtf8(name)), QString::fromLatin1(extension)};
        Find<QPushButton>("saveButton")->click();
        return choice.path.toStdString();
    }
    // The preview as the window shows it.
    std::optional<Reading> ReadPreview(int moduleSize = 4) {
        return ReadSymbolFullyIn(PictureOf(Find<QWidget>("preview")->grab().toImage()), moduleSize);
    }
};

std::string Read(const std::optional<Reading>& reading) { return reading ? reading->text : "(nothing read)"; }

// Each mode encodes in the scheme it names, the default the smallest of all; the boxes choose DMRE sizes, UTF-8
// and GS1; the status line says what was made, and the preview reads as the text.
TEST(Window, EncodesAsTheControlsSay) {
    Window window;
    window.Set("textEdit", QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"));
    window.Encode();
    EXPECT_TRUE(window.Status().startsWith(QStringLiteral("20 × 20, "))) << window.Status().toStdString();
    const char* named[] = {"ASCII", "C40", "Text", "X12", "EDIFACT", "Base 256"};
    window.Set("textEdit", QStringLiteral("LOT 42 ABC"));
    for (int item = 0; item < 6; ++item) {
        window.Find<QComboBox>("modeCombo")->setCurrentIndex(item + 2);
        window.Encode();
        EXPECT_TRUE(window.Status().contains(QStringLiteral(": %1 ").arg(named[item])))
            << window.Status().toStdString();
        EXPECT_EQ(Read(window.ReadPreview()), "LOT 42 ABC") << item;
    }
    window.Find<QComboBox>("modeCombo")->setCurrentIndex(2);  // ASCII, which DMRE's 8 x 48 holds best
    window.Set("textEdit", QStringLiteral("ABCDEFGHIJKLMNOPQ"));
    window.Check("dmreCheck", true);
    window.Choose("sizeCombo", kSmallestRectangleOrDmre);
    window.Encode();
    EXPECT_TRUE(window.Status().startsWith("8 × 48 DMRE, 17 of 18 data codewords: ASCII 17"))
        << window.Status().toStdString();
    EXPECT_EQ(Read(window.ReadPreview()), "ABCDEFGHIJKLMNOPQ");

    window.Choose("sizeCombo", kSmallestSquare);
    window.Find<QComboBox>("modeCombo")->setCurrentIndex(0);
    window.Check("utf8Check", true);
    // Composed and decomposed forms, and characters that normalising would change, read back as typed.
    for (const QString& text :
         {QStringLiteral("Καλημέρα 日本語 \U0001F600"), QStringLiteral("e\u0301 \u212B \u2126 \uF900")}) {
        window.Set("textEdit", text);
        window.Encode();
        EXPECT_EQ(QString::fromStdString(Read(window.ReadPreview())), text);
    }
    window.Check("utf8Check", false);
    window.Check("gs1Check", true);
    window.Set("textEdit", QStringLiteral("(01)09506000134352(10)ABC123(17)261231"));
    window.Encode();
    const std::optional<Reading> gs1 = window.ReadPreview();
    ASSERT_TRUE(gs1);
    EXPECT_EQ(gs1->symbologyIdentifier + gs1->bytes, "]d2010950600013435210ABC123\03517261231");  // \035: GS
}

// The preview follows typing, on its own, and opens with the text given.
TEST(Window, PreviewFollowsTyping) {
    Window window;
    window.dialog.show();
    auto* text = window.Find<QLineEdit>("textEdit");
    text->clear();
    QTest::keyClicks(text, QStringLiteral("TYPED 77"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Read(window.ReadPreview()) == "TYPED 77"; }, 1000));
    window.dialog.SetText(QStringLiteral("GIVEN"));
    EXPECT_EQ(Read(window.ReadPreview()), "GIVEN");
}

// Every refusal is in the status line, with its fix where there is one; nothing is shown, and Save and Copy
// write nothing. A text longer than any symbol holds is refused whole, never cut to fit.
TEST(Window, RefusalsSayWhyAndWhatToChange) {
    const QString tooLong(5000, QLatin1Char('7'));
    struct Case {
        QString text;
        std::function<void(Window&)> set;
        QString says;
    };
    const Case cases[] = {
        {QString(), {}, "Not encoded: there is no text: type the data to encode."},
        {QStringLiteral("Καλημέρα"), {}, "(U+039A) at position 1 is not in ISO 8859-1: tick UTF-8 to encode these"},
        {QStringLiteral("(01)09506000134353"), [](Window& w) { w.Check("gs1Check", true); },
         "the GS1 data is not valid: (01): the check digit is 3 but should be 2"},
        {QStringLiteral("LOT"), [](Window& w) { w.Check("gs1Check", true), w.Check("utf8Check", true); },
         "tick GS1 or UTF-8, not both"},
        {QStringLiteral("ABCDEFGHIJKLMNOPQ"), [](Window& w) { w.Choose("sizeCombo", 0); },
         "requested size 10x10 holds 3: choose a larger size or Smallest square."},
        {tooLong, {}, "shorten the text, or spread it over several symbols"},
        {QStringLiteral("LOT"),
         [](Window& w) { w.Find<CColorSwatchButton>("barColorButton")->SetColor(RGB(240, 240, 240)); },
         "too alike for a scanner (a contrast of 12 %, at least 20 % is needed): choose colours further apart."},
    };
    for (const Case& refused : cases) {
        Window window;
        if (refused.set) refused.set(window);
        window.Set("textEdit", refused.text);
        window.Find<QPushButton>("copyButton")->click();  // encodes the fields first, as Save does
        EXPECT_TRUE(window.Status().contains(refused.says)) << window.Status().toStdString();
        EXPECT_EQ(window.Find<QLineEdit>("textEdit")->text().size(), refused.text.size());
        EXPECT_EQ(window.dialog.Shown(), nullptr);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(window.Save("refused.png"))));
    }
}

// Save and Copy take the symbol of the fields as they are, encoding first when they changed; every format
// opens and reads, a name without an extension takes the chosen type's, and the parts of a message are
// numbered files. A failed save says why.
TEST(Window, SavesWhatTheFieldsSay) {
    Window window;
    window.Find<CColorSwatchButton>("backgroundButton")->SetColor(RGB(250, 250, 200));
    window.Set("textEdit", QStringLiteral("SAVE 2026"));  // no Encode: Save makes it
    for (const char* name : {"a.Png", "c.gif", "d.BMP"}) {
        const auto picture = ReadWithStb(ReadFile(window.Save(name)));
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(ReadSymbolIn(*picture, 4), "SAVE 2026") << name;
        EXPECT_EQ(picture->at(0, 0), (Rgba{250, 250, 200, 255})) << name;
    }
    window.Save("plain");
    EXPECT_EQ(Read(ReadSymbolInFile(window.folder.filePath("plain.png").toStdString(), 4)), "SAVE 2026");
    window.Save("drawing", "svg");
    const std::string svg = window.folder.filePath("drawing.svg").toStdString(), rendered = svg + ".png";
    ASSERT_EQ(RunProgram("rsvg-convert -z 2 -o '" + rendered + "' '" + svg + "'"), 0);
    EXPECT_EQ(Read(ReadSymbolInFile(rendered, 8)), "SAVE 2026");
    // A PDF, with the data as real text under the symbol when the box is ticked.
    window.Check("hriCheck", true);
    const std::string pdf = window.Save("g.pdf");
    ASSERT_EQ(RunProgram("pdftotext '" + pdf + "' '" + pdf + ".txt'"), 0);
    EXPECT_EQ(Slurp(pdf + ".txt").substr(0, 10), "SAVE 2026\n");
    window.Check("hriCheck", false);
    // At a printer's resolution the module is whole dots of it: 0.5 mm at 300 dpi is 6.
    window.Find<QSpinBox>("dpiSpin")->setValue(300);
    window.Find<QDoubleSpinBox>("xdimSpin")->setValue(0.5);
    EXPECT_EQ(Read(ReadSymbolInFile(window.Save("printed.png"), 6)), "SAVE 2026");
    EXPECT_TRUE(window.Find<QLabel>("printedSize")->text().contains("0.508 mm a module, 6 dots at 300 dpi"));
    window.Find<QDoubleSpinBox>("xdimSpin")->setValue(0);
    window.Find<QSpinBox>("dpiSpin")->setValue(0);
    // Structured Append: one numbered file a symbol, which a reader joins.
    window.Set("textEdit", QString(60, QLatin1Char('A')));
    window.Find<QSpinBox>("appendCountSpin")->setValue(3);
    window.Save("part.png");
    for (int part = 1; part <= 3; ++part) {
        const std::optional<Reading> reading =
            ReadSymbolInFile(window.folder.filePath(QStringLiteral("part-%1.png").arg(part)).toStdString(), 4);
        ASSERT_TRUE(reading) << part;
        EXPECT_EQ(reading->sequenceIndex, part - 1);
        EXPECT_EQ(reading->sequenceSize, 3);
    }
    window.Save("x.jpg");
    EXPECT_TRUE(window.Status().contains("must end in .png, .gif, .bmp, .pgm, .svg, .eps or .pdf"))
        << window.Status().toStdString();
    window.Save("missing/kept.bmp");
    EXPECT_TRUE(window.Status().startsWith("Not saved: ")) << window.Status().toStdString();
}

// The choices that made a symbol are those of the next run; a refused one's are not kept.
TEST(Window, SettingsComeOnlyFromASymbolMade) {
    {
        Window first;
        first.Find<QComboBox>("modeCombo")->setCurrentIndex(4);
        first.Find<QSpinBox>("moduleSizeSpin")->setValue(6);
        first.Find<CColorSwatchButton>("barColorButton")->SetColor(RGB(20, 40, 160));
        first.Check("dmreCheck", true);
        first.Choose("sizeCombo", 30);  // a DMRE size
        first.Check("gs1Check", true);
        first.Set("textEdit", QStringLiteral("(01)09506000134352"));
        first.Encode();
        first.Find<QSpinBox>("moduleSizeSpin")->setValue(9);
        first.Set("textEdit", QStringLiteral("(01)1"));  // refused: 9 is not kept
        first.Save("refused.png");
    }
    Window second;
    EXPECT_EQ(second.Find<QComboBox>("modeCombo")->currentIndex(), 4);
    EXPECT_EQ(second.Find<QSpinBox>("moduleSizeSpin")->value(), 6);
    EXPECT_EQ(second.Find<QComboBox>("sizeCombo")->currentData().toInt(), 30);
    EXPECT_EQ(second.Find<CColorSwatchButton>("barColorButton")->GetColor(), RGB(20, 40, 160));
    EXPECT_TRUE(second.Find<QCheckBox>("gs1Check")->isChecked());
    EXPECT_FALSE(second.Find<QCheckBox>("utf8Check")->isChecked());
}

// Ctrl+C copies the whole symbol from the text field, unless text is selected there, which it copies as text.
TEST(Window, CtrlCCopiesTheSymbolUnlessTextIsSelected) {
    Window window;
    window.dialog.show();
    QApplication::setActiveWindow(&window.dialog);
    auto* text = window.Find<QLineEdit>("textEdit");
    text->setFocus();
    text->setText(QStringLiteral("COPY 2026"));
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(ReadSymbolIn(PictureOf(copied), 4), "COPY 2026");
    text->setSelection(0, 4);
    QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("COPY"));
}

// English as written; the Chinese translation for a Chinese locale, with the about box's original texts; the
// about box gives the program's version.
TEST(Window, SpeaksTheLocalesLanguage) {
    ASSERT_TRUE(InstallTranslation(QLocale(QStringLiteral("zh_CN"))));
    CAboutDialog chinese;
    EXPECT_EQ(chinese.windowTitle(), QStringLiteral("关于 Glyphrun"));
    EXPECT_EQ(chinese.findChild<QLabel*>("versionLabel")->text(), QStringLiteral("Glyphrun " GLYPHRUN_VERSION " 版"));
    EXPECT_FALSE(InstallTranslation(QLocale(QStringLiteral("de_DE"))));
    CAboutDialog english;
    EXPECT_EQ(english.windowTitle(), QStringLiteral("About Glyphrun"));
}

// Where no display can be had: one line that names the CLI, and exit 1 rather than an abort inside Qt.
TEST(Window, WithoutADisplayItSaysSoInOneLine) {
    QTemporaryDir dir;
    const std::string err = dir.filePath("err").toStdString();
    for (const char* display : {"", "DISPLAY=:97"}) {
        if (*display && access("/tmp/.X11-unix/X97", F_OK) == 0) continue;  // a display :97 that would open
        const int raw = std::system(("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + std::string(display) +
                                     " " + GLYPHRUN_WINDOW + " 2>" + err)
                                        .c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << display;
        const std::string message = Slurp(err);
        EXPECT_EQ(message.rfind("glyphrun: no display is available", 0), 0u) << message;
        EXPECT_NE(message.find("glyphrun-cli"), std::string::npos) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
}

}  // namespace
}  // namespace glyphrun::app

int main(int argc, char** argv) {
    // Headless unless told otherwise, test discovery included.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window keeps its settings in a folder of this run's own, so that
    // no test meets another's and the user's stay untouched.
    const QTemporaryDir settingsFolder;
    if (!settingsFolder.isValid()) return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsFolder.path()));
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // Nor does a test meet the settings of the one before it when all run in one process.
    struct FreshSettings : ::testing::EmptyTestEventListener {
        void OnTestStart(const ::testing::TestInfo&) override {
            QSettings(QStringLiteral("Glyphrun"), QStringLiteral("glyphrun")).clear();
        }
    };
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings);
    return RUN_ALL_TESTS();
}
