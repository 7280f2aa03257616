#pragma once

/// Makes SIGINT and SIGTERM end the event loop, so that the program shuts down as after a Quit.
/// Call once, after the QCoreApplication exists.
void quitOnTerminationSignals();
