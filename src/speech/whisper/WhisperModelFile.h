#pragma once

#include <QString>

#include <optional>

/// What is wrong with the file at path as a ggml Whisper model, in a few words for the user; nothing when its
/// structure is sound. whisper.cpp trusts the sizes a model file states and can run past the end of a cut-off
/// file or allocate whatever a damaged header asks for, so every file is walked with this before it is
/// loaded. Reads the headers only, so it takes milliseconds even for a large model.
std::optional<QString> whisperModelFileProblem(const QString& path);
