// The window, driven as a user drives it (offscreen).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "color_swatch_button.h"
#include "glyphrun/frontend.h"
#include "image_readers.h"
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
    QStringList messages;
    Window() {
        dialog.SetNotifier([this](const QString& text) { messages << text; });
    }
    template <typename T>
    T* Find(const char* name) {
        return dialog.findChild<T*>(name);
    }
    void Set(const char* field, const QString& value) { Find<QLineEdit>(field)->setText(value); }
    void Check(const char* box, bool on) { Find<QCheckBox>(box)->setChecked(on); }
    void Encode() { Find<QPushButton>("encodeButton")->click(); }
    QString Status() { return Find<QLabel>("statusLine")->text(); }
    // The preview as the window shows it: all above the controls.
    Picture Preview() {
        return PictureOf(dialog.grab(QRect(0, 0, dialog.width(), Find<QWidget>("controls")->y())).toImage());
    }
};

// Each item encodes in the scheme it names and the boxes choose DMRE sizes, UTF-8 and GS1; the status line says
// what was made.
TEST(Window, EncodesAsTheControlsSay) {
    const char* named[] = {"ASCII", "C40", "Text", "X12", "EDIFACT", "Base 256"};
    Window window;
    window.Set("textEdit", QStringLiteral("LOT 42 ABC"));
    for (int item = 0; item < 6; ++item) {
        window.Find<QComboBox>("modeCombo")->setCurrentIndex(item);
        window.Encode();
        EXPECT_TRUE(window.Status().contains(QStringLiteral(": %1 ").arg(named[item])))
            << window.Status().toStdString();
        EXPECT_EQ(ReadSymbolIn(window.Preview(), 4), "LOT 42 ABC") << item;
    }
    window.Find<QComboBox>("modeCombo")->setCurrentIndex(0);
    window.Set("textEdit", QStringLiteral("ABCDEFGHIJKLMNOPQ"));
    window.Check("dmreCheck", true);
    window.Set("sizePatternEdit", QStringLiteral("-2"));  // a rectangle, the DMRE sizes among them
    window.Encode();
    EXPECT_TRUE(window.Status().startsWith("8 x 48 DMRE symbol, 17 of 18 data codewords: ASCII 17"))
        << window.Status().toStdString();
    EXPECT_EQ(ReadSymbolIn(window.Preview(), 4), "ABCDEFGHIJKLMNOPQ");

    window.Set("sizePatternEdit", QStringLiteral("-1"));
    const auto read = [&](const QString& text) {
        window.Set("textEdit", text);
        window.Encode();
        return ReadSymbolFullyIn(window.Preview(), 4).value_or(Reading{});
    };
    window.Check("utf8Check", true);
    EXPECT_EQ(QString::fromStdString(read(QStringLiteral("Καλημέρα 日本語 \U0001F600")).text),
              QStringLiteral("Καλημέρα 日本語 \U0001F600"));
    window.Check("utf8Check", false);
    window.Check("gs1Check", true);
    const Reading gs1 = read(QStringLiteral("(01)09506000134352(10)ABC123(17)261231"));
    EXPECT_EQ(gs1.symbologyIdentifier + gs1.bytes, "]d2010950600013435210ABC123\03517261231");  // \035: GS
    EXPECT_TRUE(window.messages.isEmpty()) << window.messages.join('\n').toStdString();
}

// A bad field is named, takes the focus and leaves the symbol shown; a refused input says why; an encode
// that fails says so in the status line and shows nothing.
TEST(Window, RefusalsSayWhy) {
    for (auto [field, value, says] :
         {std::tuple{"moduleSizeEdit", "abc", "Module Size must be a whole number from 1 to 50"},
          {"sizePatternEdit", "30", "sizePattern must be a whole number from -2 to 29"}}) {
        Window bad;
        bad.dialog.show();
        bad.Encode();
        const uint32_t width = bad.dialog.Image().GetWidth();
        ASSERT_GT(width, 0u);
        bad.Set(field, value);
        bad.Encode();
        ASSERT_EQ(bad.messages.size(), 1) << field;
        EXPECT_TRUE(bad.messages[0].contains(says)) << bad.messages[0].toStdString();
        EXPECT_EQ(bad.dialog.focusWidget(), bad.Find<QLineEdit>(field));
        EXPECT_EQ(bad.dialog.Image().GetWidth(), width);
    }
    Window window;
    const auto refused = [&](const char* text, const QString& says) {
        window.Set("textEdit", QString::fromUtf8(text));
        window.Encode();
        ASSERT_FALSE(window.messages.isEmpty());
        EXPECT_TRUE(window.messages.takeLast().contains(says)) << text;
        EXPECT_TRUE(window.messages.isEmpty());
    };
    refused("", QStringLiteral("the input is empty"));
    refused("Καλημέρα", QStringLiteral("The character \"Κ\" (U+039A) at position 1 is not in ISO 8859-1: tick UTF-8"));
    window.Check("gs1Check", true);
    refused("(01)09506000134353",
            QStringLiteral("The GS1 data is not valid: (01): the check digit is 3 but should be 2."));
    window.Check("gs1Check", false);
    window.Set("sizePatternEdit", QStringLiteral("0"));
    const QString tooSmall =
        QStringLiteral("Nothing was encoded: the input needs 17 data codewords but the requested size 10x10 holds 3.");
    refused("ABCDEFGHIJKLMNOPQ", tooSmall);
    EXPECT_EQ(window.Status(), tooSmall);
    EXPECT_FALSE(window.dialog.Image().IsValid());
}

// Raster files that read in the chosen colours, an SVG that renders, an EPS; other names refused, failures told.
TEST(Window, SavesEveryFamilyAndSaysWhyNot) {
    QTemporaryDir folder;
    Window window;
    window.Find<CColorSwatchButton>("backgroundButton")->SetColor(RGB(250, 250, 200));
    QString chosen;
    window.dialog.SetSaveChooser([&] { return chosen; });
    const auto save = [&](const char* name) {
        chosen = folder.filePath(QString::fromLatin1(name));
        window.Find<QPushButton>("saveButton")->click();
        return chosen.toStdString();
    };
    const auto told = [&](const char* says) {
        EXPECT_TRUE(window.messages.last().contains(says)) << window.messages.last().toStdString();
        EXPECT_FALSE(QFile::exists(chosen));
    };
    save("nothing.png");
    told("Nothing to save");

    window.Set("textEdit", QStringLiteral("SAVE 2026"));
    window.Encode();
    for (const char* name : {"a.Png", "c.gif", "d.BMP"}) {
        const auto picture = ReadWithStb(ReadFile(save(name)));
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(ReadSymbolIn(*picture, 4), "SAVE 2026") << name;
        EXPECT_EQ(picture->at(0, 0), (Rgba{250, 250, 200, 255})) << name;
    }
    const std::string svg = save("e.svg"), rendered = svg + ".png";
    ASSERT_EQ(RunProgram("rsvg-convert -z 2 -o '" + rendered + "' '" + svg + "'"), 0);
    const std::optional<Reading> fromSvg = ReadSymbolInFile(rendered, 8);
    EXPECT_TRUE(fromSvg && fromSvg->bytes == "SAVE 2026");
    EXPECT_EQ(Slurp(save("f.EPS")).substr(0, 10), "%!PS-Adobe");
    // A PDF, with the data as real text under the symbol when the box is ticked.
    window.Check("hriCheck", true);
    window.Encode();
    const std::string pdf = save("g.pdf");
    ASSERT_EQ(RunProgram("pdftotext '" + pdf + "' '" + pdf + ".txt'"), 0);
    EXPECT_EQ(Slurp(pdf + ".txt").substr(0, 10), "SAVE 2026\n");
    save("noext");
    told("must end in .png, .gif, .bmp, .pgm, .svg, .eps or .pdf");
    save("missing/kept.bmp");
    told("No such file or directory");
}

// The choices of one run are those of the next.
TEST(Window, SettingsAreKeptBetweenRuns) {
    {
        Window first;
        EXPECT_EQ(first.Find<QLineEdit>("moduleSizeEdit")->text(), QStringLiteral("4"));
        first.Find<QComboBox>("modeCombo")->setCurrentIndex(2);
        first.Set("moduleSizeEdit", "6");
        first.Find<CColorSwatchButton>("barColorButton")->SetColor(RGB(20, 40, 160));
        first.Check("gs1Check", true);
        first.Set("textEdit", QStringLiteral("(01)09506000134352"));
        first.Encode();
    }
    Window second;
    EXPECT_EQ(second.Find<QComboBox>("modeCombo")->currentIndex(), 2);
    EXPECT_EQ(second.Find<QLineEdit>("moduleSizeEdit")->text(), QStringLiteral("6"));
    EXPECT_EQ(second.Find<CColorSwatchButton>("barColorButton")->GetColor(), RGB(20, 40, 160));
    EXPECT_TRUE(second.Find<QCheckBox>("gs1Check")->isChecked());
    EXPECT_FALSE(second.Find<QCheckBox>("utf8Check")->isChecked());
}

// Ctrl+C puts the whole symbol on the clipboard.
TEST(Window, CopiesTheSymbolToTheClipboard) {
    Window window;
    QGuiApplication::clipboard()->clear();
    window.dialog.OnCopy();
    EXPECT_TRUE(window.messages.last().contains("Nothing to copy"));
    window.Set("textEdit", QStringLiteral("COPY 2026"));
    window.Encode();
    for (QShortcut* shortcut : window.dialog.findChildren<QShortcut*>())
        if (shortcut->key() == QKeySequence(QKeySequence::Copy)) emit shortcut->activated();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.width(), static_cast<int>(window.dialog.Image().GetWidth()));
    EXPECT_EQ(ReadSymbolIn(PictureOf(copied), 4), "COPY 2026");
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
