// The settings read at start-up, from a settings file whose contents come from the fuzzer: what AppState
// reads when it is made, the stored hotkey as the hotkey service gets it (a Qt key combination, then an X
// keysym) and the banned words in the prompt.
#include "FuzzSupport.h"
#include "core/AppState.h"
#include "core/Prompts.h"
#include "hotkey/GlobalHotkey.h"
#include "hotkey/QtKeyCodes.h"
#include "platform/linux/X11HotkeyKeysyms.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QTemporaryDir& directory() {
    static const QTemporaryDir made;
    return made;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceMessages();
    return directory().isValid() ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Qt caches a settings file by name and modification time; a new name each time reads the new contents.
    static int inputs = 0;
    const QString path = directory().filePath(QStringLiteral("Murmuro-%1.conf").arg(++inputs));
    QFile file(path);
    require(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    {
        QSettings settings(path, QSettings::IniFormat);
        AppState state(settings, QStringLiteral("en_US"));
        state.loadStoredHotkey();
        if (const std::optional<QKeyCombination> combination =
                qtKeyCombination(state.hotkeyKeyCode(), carbonModifiers(state.hotkeyModifiers()))) {
            x11HotkeyKeysymOf(*combination);
        }
        composeSystemPrompt(state, AppState::Mode::smart);
    }
    QFile::remove(path);
    return 0;
}
