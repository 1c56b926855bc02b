// Glyphrun: the window.
#include <QApplication>

#include "main_dialog.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    glyphrun::app::CMainDialog dialog;
    dialog.exec();
    return 0;
}
