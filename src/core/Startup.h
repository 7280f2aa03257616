#pragma once

class AppState;
class HotkeyRegistrar;
class SpeechRecognition;
class TextDeliverer;

/// Brings a freshly built AppState into service: the stored hotkey is loaded and registered, the hotkey
/// handler installed, speech recognition authorised and accessibility checked, in that order. From here on
/// every assignment of the hotkey's key code or modifiers registers it again.
void startUp(AppState& state, HotkeyRegistrar& hotkeys, SpeechRecognition& speech, TextDeliverer& deliverer);
