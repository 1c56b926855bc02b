// The about box.
#pragma once

#include <QDialog>

namespace glyphrun::app {

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

}  // namespace glyphrun::app
