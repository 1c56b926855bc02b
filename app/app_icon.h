// The application's icon: a Data Matrix symbol of its own name.
#pragma once

#include <QIcon>

namespace glyphrun::app {

QIcon AppIcon();

}  // namespace glyphrun::app
