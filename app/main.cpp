// Glyphrun: the window.
#include <QApplication>
#include <QByteArray>
#include <QCommandLineParser>
#include <QList>
#include <cstdio>
#include <cstdlib>

#include "glyphrun/safe_file.h"
#include "glyphrun/version.h"
#include "language.h"
#include "main_dialog.h"

namespace {

QtMessageHandler gDefaultHandler = nullptr;
QList<std::pair<QtMsgType, QString>> gStartupMessages;

// Why the window cannot open, in one line, and what to use instead.
void ExitWithoutDisplay() {
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray reason =
        display.isEmpty() ? QByteArray("DISPLAY is not set") : "the display " + display + " cannot be opened";
    std::fprintf(stderr,
                 "glyphrun: no display is available (%s); glyphrun-cli makes symbols without one, "
                 "for example: glyphrun-cli -o label.png 'TEXT'\n",
                 reason.constData());
    std::_Exit(1);
}

// While the application starts, Qt's messages are held back: when no
// display can be had, Qt explains it at length and aborts, and the user
// gets one line from us instead. Otherwise they are passed on afterwards.
void HoldStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) ExitWithoutDisplay();
    gStartupMessages.append({type, message});
}

void PassOnStartupMessages() {
    qInstallMessageHandler(gDefaultHandler);
    for (const auto& [type, message] : gStartupMessages) gDefaultHandler(type, QMessageLogContext(), message);
    gStartupMessages.clear();
}

bool PlatformChosen() { return !qgetenv("QT_QPA_PLATFORM").isEmpty(); }
bool DisplayNamed() { return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty(); }

}  // namespace

int main(int argc, char** argv) {
    glyphrun::HoldStandardDescriptors();
    if (!PlatformChosen() && !DisplayNamed()) ExitWithoutDisplay();
    // A window closed by a signal during a save leaves no temporary file.
    glyphrun::RemoveTemporaryFilesOnSignals();
    gDefaultHandler = qInstallMessageHandler(HoldStartupMessage);
    QApplication application(argc, argv);
    PassOnStartupMessages();
    QApplication::setApplicationVersion(QStringLiteral(GLYPHRUN_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Glyphrun: Data Matrix ECC200 symbols, seen as you type them"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption language(
        QStringLiteral("lang"), QStringLiteral("The window's language, such as en or zh_CN (default: the system's)"),
        QStringLiteral("LANGUAGE"));
    parser.addOption(language);
    parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The text to show the symbol of at once"));
    parser.process(application);
    glyphrun::app::InstallTranslation(parser.isSet(language) ? QLocale(parser.value(language)) : QLocale::system());
    glyphrun::app::CMainDialog dialog;
    if (!parser.positionalArguments().isEmpty()) dialog.SetText(parser.positionalArguments().join(QLatin1Char(' ')));
    dialog.exec();
    return 0;
}
