#include "platform/wayland/FocusedApplication.h"

#include "log/Log.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QtEndian>

#include <functional>

namespace {

constexpr int answerTimeoutMs = 300;
constexpr int maxAnswerSize = 16 * 1024 * 1024;

// The i3 IPC that sway speaks: a magic string, the payload's length and the message type, then the payload.
const QByteArray swayMagic = QByteArrayLiteral("i3-ipc");
constexpr quint32 swayGetTree = 4;
constexpr int swayHeaderSize = 14;

std::optional<QByteArray> exchange(const QString& path, const QByteArray& request,
                                   const std::function<bool(const QByteArray&)>& complete) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(answerTimeoutMs)) {
        qCWarning(lcOutput).noquote()
            << "The compositor's IPC socket did not answer:" << socket.errorString();
        return std::nullopt;
    }
    socket.write(request);
    QByteArray answer;
    while (!complete(answer) && answer.size() < maxAnswerSize) {
        if (!socket.waitForReadyRead(answerTimeoutMs)) {
            if (socket.state() == QLocalSocket::UnconnectedState) {
                break;
            }
            qCWarning(lcOutput).noquote() << "The compositor's IPC socket did not answer in time";
            return std::nullopt;
        }
        answer += socket.readAll();
    }
    return answer;
}

std::optional<QString> focusedInSwayTree(const QJsonObject& node) {
    if (node.value(QStringLiteral("focused")).toBool()) {
        const QString appId = node.value(QStringLiteral("app_id")).toString();
        if (!appId.isEmpty()) {
            return appId;
        }
        const QString windowClass = node.value(QStringLiteral("window_properties"))
                                        .toObject()
                                        .value(QStringLiteral("class"))
                                        .toString();
        return windowClass.isEmpty() ? std::nullopt : std::optional<QString>(windowClass);
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            if (std::optional<QString> found = focusedInSwayTree(child.toObject())) {
                return found;
            }
        }
    }
    return std::nullopt;
}

std::optional<QString> swayFocus(const QString& socketPath) {
    QByteArray request = swayMagic;
    request.append(QByteArray(8, '\0'));
    qToLittleEndian<quint32>(swayGetTree, request.data() + 10);
    auto complete = [](const QByteArray& answer) {
        return answer.size() >= swayHeaderSize &&
               answer.size() >= swayHeaderSize + static_cast<qsizetype>(
                                                     qFromLittleEndian<quint32>(answer.constData() + 6));
    };
    const std::optional<QByteArray> answer = exchange(socketPath, request, complete);
    if (!answer || !complete(*answer)) {
        return std::nullopt;
    }
    return focusedInSwayTree(QJsonDocument::fromJson(answer->mid(swayHeaderSize)).object());
}

std::optional<QString> hyprlandFocus(const QString& signature) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString path = runtime + QStringLiteral("/hypr/") + signature + QStringLiteral("/.socket.sock");
    if (!QFileInfo::exists(path)) {
        path = QStringLiteral("/tmp/hypr/") + signature + QStringLiteral("/.socket.sock");
    }
    // Hyprland closes the connection after its answer.
    const std::optional<QByteArray> answer =
        exchange(path, QByteArrayLiteral("j/activewindow"), [](const QByteArray&) { return false; });
    if (!answer) {
        return std::nullopt;
    }
    const QString windowClass =
        QJsonDocument::fromJson(*answer).object().value(QStringLiteral("class")).toString();
    return windowClass.isEmpty() ? std::nullopt : std::optional<QString>(windowClass);
}

} // namespace

std::optional<QString> focusedApplicationId() {
    if (const QString sway = qEnvironmentVariable("SWAYSOCK"); !sway.isEmpty()) {
        return swayFocus(sway);
    }
    if (const QString hyprland = qEnvironmentVariable("HYPRLAND_INSTANCE_SIGNATURE"); !hyprland.isEmpty()) {
        return hyprlandFocus(hyprland);
    }
    return std::nullopt;
}
