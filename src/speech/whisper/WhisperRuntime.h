#pragma once

#include <QString>

#include <optional>

/// Readies whisper.cpp once per process and says why it cannot run when it cannot: its own diagnostics go to
/// the debug level of murmuro.speech instead of standard error, and ggml's CPU backend is loaded. The build
/// ships one CPU backend per x86-64 instruction-set level beside libggml, and ggml picks the best the running
/// processor supports; a system libwhisper brings its own. Called before every model load; cheap after the
/// first call.
std::optional<QString> prepareWhisperRuntime();
