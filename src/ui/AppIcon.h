#pragma once

#include <QIcon>

/// The program's icon: a white microphone with sound waves on a violet rounded square, drawn at run time.
QIcon applicationIcon();
