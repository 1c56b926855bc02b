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
    PlacedLabel(QStringLiteral("Glyphrun 1.0 版"), UnitsRect(40, 10, 119, 8), this)->setTextFormat(Qt::PlainText);
    PlacedLabel(QStringLiteral("Data Matrix ECC200 条码"), UnitsRect(40, 25, 119, 8), this);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setGeometry(UnitsRect(178, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace glyphrun::app
