#pragma once

#include "speech/SpeechRecognition.h"

#include <QByteArray>

/// The transcript in the body of a transcription server's reply: its "text", trimmed, or why there is none.
RecognitionResult transcriptionReply(const QByteArray& body);
