// Prints what another client finds on the X11 clipboard: "text:" followed by the plain text in UTF-8, or
// "no text".

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    const QByteArray out = data && data->hasText() ? "text:" + data->text().toUtf8() : QByteArray("no text");
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    return 0;
}
