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
#include <fstream>

#include "color_swatch_button.h"
#include "glyphrun/frontend.h"
#include "image_readers.h"
#include "main_dialog.h"

namespace glyphrun::app {
namespace {

using namespace glyphrun::testing;

Picture PictureOf(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    Picture picture{rgb.width(), rgb.height(), {}};
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = rgb.pixel(x, y);
            picture.pixels.push_back(
                {static_cast<uint8_t>(qRed(p)), static_cast<uint8_t>(qGreen(p)), static_cast<uint8_t>(qBlue(p)), 255});
        }
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
    void Encode() { Find<QPushButton>("encodeButton")->click(); }
    // The preview as the window shows it: all above the controls.
    Picture Preview() {
        return PictureOf(dialog.grab(QRect(0, 0, dialog.width(), Find<QWidget>("controls")->y())).toImage());
    }
};

// Each item encodes in the scheme it names, as the status line tells it.
TEST(Window, EachItemEncodesInTheSchemeItNames) {
    const char* named[] = {"ASCII", "C40", "Text", "X12", "EDIFACT", "Base 256"};
    Window window;
    window.Set("textEdit", QStringLiteral("LOT 42 ABC"));
    for (int item = 0; item < 6; ++item) {
        window.Find<QComboBox>("modeCombo")->setCurrentIndex(item);
        window.Encode();
        ASSERT_TRUE(window.messages.isEmpty()) << window.messages.join('\n').toStdString();
        const QString status = window.Find<QLabel>("statusLine")->text();
        EXPECT_TRUE(status.contains(QStringLiteral(": %1 ").arg(named[item]))) << status.toStdString();
        EXPECT_EQ(ReadSymbolIn(window.Preview(), 4), "LOT 42 ABC") << item;
    }
    // Typed text that names no item: the automatic choice.
    window.Find<QComboBox>("modeCombo")->setEditText(QStringLiteral("whatever"));
    window.Set("textEdit", QStringLiteral("abc"));
    window.Encode();
    EXPECT_EQ(ReadSymbolIn(window.Preview(), 4), "abc");
}

TEST(Window, BadFieldsStopTheEncodeAndSayWhy) {
    for (auto [field, value, says] :
         {std::tuple{"moduleSizeEdit", "abc", "Module Size must be a whole number from 1 to 50"},
          {"moduleSizeEdit", "0", "Module Size"},
          {"marginEdit", "-1", "Margin must be a whole number from 0 to 500"},
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
        EXPECT_EQ(bad.dialog.Image().GetWidth(), width);  // the current symbol stays
    }
    Window window;
    window.Set("textEdit", QString());
    window.Encode();
    EXPECT_TRUE(window.messages.last().contains("the input is empty"));
}

TEST(Window, SwatchOpensTheChooserAtItsColour) {
    CColorSwatchButton swatch(QStringLiteral("Bar Color"));
    swatch.SetColor(RGB(10, 20, 30));
    QColor offered;
    QColor answer;
    CColorSwatchButton::SetChooser([&](const QColor& initial, QWidget*) {
        offered = initial;
        return answer;
    });
    answer = QColor();  // cancelled
    EXPECT_FALSE(swatch.PickColor());
    EXPECT_EQ(offered, QColor(10, 20, 30));
    answer = QColor(10, 20, 30);  // the same colour
    EXPECT_FALSE(swatch.PickColor());
    answer = QColor(200, 100, 50);
    swatch.click();
    EXPECT_EQ(swatch.GetColor(), RGB(200, 100, 50));
}

// Text up to U+00FF is ISO 8859-1 bytes with no ECI; with "UTF-8" any
// character encodes, under ECI 26; with "GS1" the text is checked element
// strings and the symbol reads as GS1 data.
TEST(Window, Utf8AndGs1Boxes) {
    Window window;
    window.Set("textEdit", QStringLiteral("Caf\u00E9 \u00FF"));
    window.Encode();
    std::optional<Reading> reading = ReadSymbolFullyIn(window.Preview(), 4);
    EXPECT_TRUE(reading && reading->bytes == "Caf\xe9 \xff" && !reading->hasEci);

    const QString text = QStringLiteral("Καλημέρα 日本語 \U0001F600");
    window.Set("textEdit", text);
    window.Encode();
    ASSERT_EQ(window.messages.size(), 1);  // refused without the box, which it names
    EXPECT_TRUE(
        window.messages[0].startsWith("The character \"Κ\" (U+039A) at position 1 is not in ISO 8859-1: tick UTF-8"))
        << window.messages[0].toStdString();
    window.Find<QCheckBox>("utf8Check")->setChecked(true);
    window.Encode();
    ASSERT_EQ(window.messages.size(), 1);
    reading = ReadSymbolFullyIn(window.Preview(), 4);
    ASSERT_TRUE(reading);
    EXPECT_EQ(QString::fromStdString(reading->text), text);

    window.Find<QCheckBox>("gs1Check")->setChecked(true);
    window.Set("textEdit", QStringLiteral("(01)09506000134352(10)ABC123(17)261231"));
    window.Encode();
    ASSERT_EQ(window.messages.size(), 2);  // GS1 carries no ECI
    window.Find<QCheckBox>("utf8Check")->setChecked(false);
    window.Encode();
    ASSERT_EQ(window.messages.size(), 2);
    reading = ReadSymbolFullyIn(window.Preview(), 4);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->symbologyIdentifier, "]d2");
    EXPECT_EQ(reading->bytes, "010950600013435210ABC123\03517261231");  // \035: GS
    window.Set("textEdit", QStringLiteral("(01)09506000134353"));
    window.Encode();
    ASSERT_EQ(window.messages.size(), 3);
    EXPECT_EQ(window.messages.last(), "The GS1 data is not valid: (01): the check digit is 3 but should be 2.");
}

TEST(Window, SavesEveryNameAndKeepsFilesOnFailure) {
    QTemporaryDir folder;
    Window window;
    window.Find<CColorSwatchButton>("barColorButton")->SetColor(RGB(20, 40, 160));
    window.Find<CColorSwatchButton>("backgroundButton")->SetColor(RGB(250, 250, 200));
    QString chosen;
    window.dialog.SetSaveChooser([&] { return chosen; });

    chosen = folder.filePath("nothing.png");
    window.Find<QPushButton>("saveButton")->click();
    EXPECT_TRUE(window.messages.last().contains("Nothing to save"));
    EXPECT_FALSE(QFile::exists(chosen));

    window.Set("textEdit", QStringLiteral("SAVE 2026"));
    window.Encode();
    for (const char* name : {"a.png", "b.Png", "c.gif", "d.BMP"}) {
        chosen = folder.filePath(name);
        window.Find<QPushButton>("saveButton")->click();
        const auto picture = ReadWithStb(ReadFile(chosen.toStdString()));
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(ReadSymbolIn(*picture, 4), "SAVE 2026") << name;
        EXPECT_EQ(picture->at(0, 0), (Rgba{250, 250, 200, 255})) << name;
    }
    // The vector formats hold what their names say: an SVG that renders to the symbol, an EPS.
    chosen = folder.filePath("e.svg");
    window.Find<QPushButton>("saveButton")->click();
    const std::string rendered = folder.filePath("e.svg.png").toStdString();
    ASSERT_EQ(RunProgram("rsvg-convert -z 2 -o '" + rendered + "' '" + chosen.toStdString() + "'"), 0);
    const std::optional<Reading> fromSvg = ReadSymbolInFile(rendered, 8);
    EXPECT_TRUE(fromSvg && fromSvg->bytes == "SAVE 2026");
    chosen = folder.filePath("f.EPS");
    window.Find<QPushButton>("saveButton")->click();
    const Bytes eps = ReadFile(chosen.toStdString());
    EXPECT_EQ(std::string(eps.begin(), eps.begin() + std::min<size_t>(eps.size(), 10)), "%!PS-Adobe");
    // Any other name is refused with the formats it may have, and nothing is written.
    for (const char* name : {"g.jpg", "noext"}) {
        chosen = folder.filePath(name);
        window.Find<QPushButton>("saveButton")->click();
        EXPECT_TRUE(window.messages.last().contains("must end in .png, .gif, .bmp, .pgm, .svg or .eps"))
            << window.messages.last().toStdString();
        EXPECT_FALSE(QFile::exists(chosen)) << name;
    }

    // A save that fails says why (that it keeps the old file is save_test's).
    chosen = folder.filePath("missing/kept.bmp");
    window.Find<QPushButton>("saveButton")->click();
    EXPECT_TRUE(window.messages.last().contains("No such file or directory")) << window.messages.last().toStdString();
}

// The choices of one run are those of the next.
TEST(Window, SettingsAreKeptBetweenRuns) {
    {
        Window first;
        EXPECT_EQ(first.Find<QLineEdit>("moduleSizeEdit")->text(), QStringLiteral("4"));
        first.Find<QComboBox>("modeCombo")->setCurrentIndex(2);
        first.Set("moduleSizeEdit", "6");
        first.Set("marginEdit", "3");
        first.Set("sizePatternEdit", "-2");
        first.Find<CColorSwatchButton>("barColorButton")->SetColor(RGB(20, 40, 160));
        first.Find<QCheckBox>("gs1Check")->setChecked(true);
        first.Find<QCheckBox>("dmreCheck")->setChecked(true);
        first.Set("textEdit", QStringLiteral("(01)09506000134352"));
        first.Encode();
        ASSERT_TRUE(first.dialog.Image().IsValid());
    }
    Window second;
    EXPECT_EQ(second.Find<QComboBox>("modeCombo")->currentIndex(), 2);
    EXPECT_EQ(second.Find<QLineEdit>("moduleSizeEdit")->text(), QStringLiteral("6"));
    EXPECT_EQ(second.Find<QLineEdit>("marginEdit")->text(), QStringLiteral("3"));
    EXPECT_EQ(second.Find<QLineEdit>("sizePatternEdit")->text(), QStringLiteral("-2"));
    EXPECT_EQ(second.Find<CColorSwatchButton>("barColorButton")->GetColor(), RGB(20, 40, 160));
    EXPECT_TRUE(second.Find<QCheckBox>("gs1Check")->isChecked());
    EXPECT_FALSE(second.Find<QCheckBox>("utf8Check")->isChecked());
    EXPECT_TRUE(second.Find<QCheckBox>("dmreCheck")->isChecked());
}

// Under the preview, what the last Encode made or why it failed. The DMRE
// box lets sizePattern pick a DMRE size and -2 choose one.
TEST(Window, StatusLineAndTheDmreBox) {
    Window window;
    const auto status = [&] { return window.Find<QLabel>("statusLine")->text(); };
    window.Find<QComboBox>("modeCombo")->setCurrentIndex(0);  // ASCII: one codeword a letter
    window.Set("textEdit", QStringLiteral("ABCDEFGHIJKLMNOPQ"));
    window.Set("sizePatternEdit", QStringLiteral("-2"));
    window.Encode();
    EXPECT_EQ(status(), QStringLiteral("12 x 36 symbol, 17 of 22 data codewords: ASCII 17"));
    window.Find<QCheckBox>("dmreCheck")->setChecked(true);
    for (const char* size : {"-2", "46"}) {
        window.Set("sizePatternEdit", QString::fromLatin1(size));
        window.Encode();
        EXPECT_TRUE(status().startsWith(size[0] == '-' ? "8 x 48 DMRE symbol, 17 of 18" : "26 x 48 DMRE symbol"))
            << status().toStdString();
        EXPECT_EQ(ReadSymbolIn(window.Preview(), 4), "ABCDEFGHIJKLMNOPQ") << size;
    }
    ASSERT_TRUE(window.messages.isEmpty()) << window.messages.join('\n').toStdString();
    window.Set("sizePatternEdit", QStringLiteral("48"));
    window.Encode();
    ASSERT_EQ(window.messages.size(), 1);
    EXPECT_TRUE(window.messages[0].contains("sizePattern must be a whole number from -2 to 47"));
    window.Set("sizePatternEdit", QStringLiteral("0"));
    window.Encode();
    EXPECT_EQ(
        status(),
        QStringLiteral("Nothing was encoded: the input needs 17 data codewords but the requested size 10x10 holds 3."));
    EXPECT_EQ(window.messages.last(), status());
    EXPECT_FALSE(window.dialog.Image().IsValid());  // no symbol after a failure
}

// Ctrl+C and the context menu's Copy put the whole symbol on the clipboard.
TEST(Window, CopiesTheSymbolToTheClipboard) {
    Window window;
    QGuiApplication::clipboard()->clear();
    window.dialog.OnCopy();
    EXPECT_TRUE(window.messages.last().contains("Nothing to copy"));
    window.Set("textEdit", QStringLiteral("COPY 2026"));
    window.Encode();
    for (QShortcut* shortcut : window.dialog.findChildren<QShortcut*>())  // what Ctrl+C starts
        if (shortcut->key() == QKeySequence(QKeySequence::Copy)) emit shortcut->activated();
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.width(), static_cast<int>(window.dialog.Image().GetWidth()));
    EXPECT_EQ(ReadSymbolIn(PictureOf(copied), 4), "COPY 2026");
}

TEST(Window, LargeSymbolStaysInThePreviewAndGrowsWithTheWindow) {
    Window window;
    window.Set("moduleSizeEdit", "12");
    window.Set("textEdit", QString(200, QLatin1Char('Z')));
    window.Encode();
    ASSERT_GT(window.dialog.Image().GetWidth(), static_cast<uint32_t>(CMainDialog::kPreviewWidth));
    // Shrunk by two to fit, whole: it still reads from the preview.
    EXPECT_EQ(ReadSymbolIn(window.Preview(), 6), std::string(200, 'Z'));
    // Below the preview the window shows its own background, not the symbol
    // (the status line, which has its own text there, hidden).
    window.Find<QLabel>("statusLine")->hide();
    const QImage below = window.dialog.grab(QRect(0, CMainDialog::kPreviewHeight, 620, 8)).toImage();
    const QRgb background = window.dialog.palette().color(QPalette::Window).rgb();
    for (int x = 0; x < below.width(); x += 7) EXPECT_EQ(below.pixel(x, 2), background) << x;

    // A larger window shows it whole, with the controls kept at the bottom.
    const QWidget* encode = window.Find<QWidget>("encodeButton");
    const int smallestHeight = window.dialog.height(), encodeTop = encode->mapTo(&window.dialog, QPoint()).y();
    window.dialog.show();  // a hidden window has its resize only when shown
    window.dialog.resize(1000, 1000);
    EXPECT_EQ(ReadSymbolIn(window.Preview(), 12), std::string(200, 'Z'));
    EXPECT_EQ(encode->mapTo(&window.dialog, QPoint()).y() - encodeTop, 1000 - smallestHeight);
}

// Started where no display can be had, the window says so in one line,
// with what to use instead, and exits 1 rather than aborting inside Qt.
TEST(Window, WithoutADisplayItSaysSoInOneLine) {
    QTemporaryDir dir;
    const QString err = dir.filePath("err");
    for (const char* display : {"", "DISPLAY=:97"}) {
        if (*display && access("/tmp/.X11-unix/X97", F_OK) == 0) continue;  // a display :97 that would open
        const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + display +
                                    " " + GLYPHRUN_WINDOW + " 2>" + err.toStdString();
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << display;
        std::ifstream in(err.toStdString());
        const std::string message((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
