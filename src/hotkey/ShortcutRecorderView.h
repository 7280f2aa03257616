#pragma once

#include <QPushButton>

class AppState;

/// The button with which the user chooses a new global hotkey. A click makes it listen for the next key
/// press delivered to it; that key with the modifiers held becomes the hotkey in AppState. Escape, a second
/// click or hiding the button end listening without a change.
class ShortcutRecorderView : public QPushButton {
    Q_OBJECT

public:
    ShortcutRecorderView(AppState& state, QWidget* parent = nullptr);

    void toggleListening();
    void startListening();
    void stopListening();

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    /// Whether the key press was used up: assigned as the hotkey, or Escape.
    bool handleRecordedKey(const QKeyEvent& event);
    void showLabel();

    AppState& m_state;
    bool m_listening = false;
};
