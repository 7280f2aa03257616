#include "platform/wayland/WaylandLog.h"

Q_LOGGING_CATEGORY(lcWayland, "murmuro.platform")
