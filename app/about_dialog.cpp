#include "about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "app_icon.h"
#include "dialog_units.h"

namespace glyphrun::app {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 Glyphrun"));
    setFont(DialogFont());
    setFixedSize(Units(235), Units(55));
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setGeometry(UnitsRect(11, 17, 20, 20));
    auto* name = new QLabel(QStringLiteral("Glyphrun 1.0 版"), this);
    name->setTextFormat(Qt::PlainText);  // no prefix processing
    name->setGeometry(UnitsRect(40, 10, 119, 8));
    auto* line = new QLabel(QStringLiteral("Data Matrix ECC200 条码"), this);
    line->setGeometry(UnitsRect(40, 25, 119, 8));
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setGeometry(UnitsRect(178, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace glyphrun::app
