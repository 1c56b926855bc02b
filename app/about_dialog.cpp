#include "about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_icon.h"
#include "glyphrun/version.h"

namespace glyphrun::app {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Glyphrun"));
    auto* icon = new QLabel;
    icon->setPixmap(AppIcon().pixmap(32, 32));
    auto* version = new QLabel(tr("Glyphrun %1").arg(QStringLiteral(GLYPHRUN_VERSION)));
    version->setObjectName("versionLabel");
    version->setTextFormat(Qt::PlainText);
    auto* ok = new QPushButton(tr("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* words = new QVBoxLayout;
    words->addWidget(version);
    words->addWidget(new QLabel(tr("Data Matrix ECC200 barcodes")));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addLayout(words, 1);
    layout->addWidget(ok, 0, Qt::AlignTop);
}

}  // namespace glyphrun::app
