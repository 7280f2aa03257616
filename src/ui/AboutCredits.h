#pragma once

#include <QString>

/// The terms of use shown in the About dialog: a title line, an introduction and five numbered sections.
QString aboutCredits();

/// The owner's copyright line shown after the version number.
QString copyrightNotice();
