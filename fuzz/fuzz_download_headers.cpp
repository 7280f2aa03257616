// What the model downloader reads from a server's reply: the Content-Range of a continued download, the
// Content-Length that gives the whole size, and the Location of a redirect. The input is a header block,
// one "Name: value" a line; an "Offset" line gives the bytes the partial file already holds.
#include "FuzzSupport.h"
#include "net/WebRequest.h"
#include "speech/whisper/DownloadHeaders.h"
#include "speech/whisper/ModelCatalog.h"

#include <QNetworkRequest>

#include <utility>

namespace {

bool isHuggingFaceHost(const QString& host) {
    return host == QLatin1String("huggingface.co") || host.endsWith(QLatin1String(".huggingface.co")) ||
           host == QLatin1String("hf.co") || host.endsWith(QLatin1String(".hf.co"));
}

// The redirect target as the network layer makes it from the Location header.
QUrl redirectTarget(const QByteArray& location) {
    const QUrl url(QString::fromUtf8(location));
    return url.isValid() ? url : QUrl(QString::fromLatin1(location));
}

void checkRedirect(const QUrl& from, const QUrl& target, bool fromOfficialBase) {
    const QUrl next = from.resolved(target);
    if (!isFollowableRedirect(from, next, fromOfficialBase)) {
        return;
    }
    require(isWebServerUrl(next));
    // The host that was checked is the host the next request goes to.
    require(QUrl(QString::fromLatin1(next.toEncoded())).host() == next.host());
    const bool sameServer = next.host() == from.host() && next.port() == from.port();
    require(sameServer ||
            (fromOfficialBase && next.scheme() == QLatin1String("https") && isHuggingFaceHost(next.host())));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // A request parses the known headers the way a reply does.
    QNetworkRequest headers;
    qint64 offset = 0;
    for (const QByteArray& line : input.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) {
            continue;
        }
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name.compare("Offset", Qt::CaseInsensitive) == 0) {
            offset = qMax<qint64>(0, value.toLongLong());
        } else if (!name.isEmpty()) {
            headers.setRawHeader(name, value);
        }
    }

    const QByteArray range = headers.rawHeader("Content-Range");
    require(contentRangeStart(range) >= -1);
    const qsizetype dash = range.indexOf('-');
    if (dash >= 0) {
        require(contentRangeStart("bytes " + QByteArray::number(offset) + range.mid(dash)) == offset);
    }

    const qint64 announced = headers.header(QNetworkRequest::ContentLengthHeader).toLongLong();
    const qint64 total = downloadTotal(offset, announced);
    require(total == -1 || (announced > 0 && total - announced == offset));

    const QByteArray location = headers.rawHeader("Location");
    if (!location.isEmpty()) {
        const QUrl target = redirectTarget(location);
        const QUrl official(QLatin1String(officialModelBase) + QLatin1String("ggml-base.en.bin"));
        const QUrl mirror(QStringLiteral("http://127.0.0.1:8080/models/ggml-base.en.bin"));
        for (const auto& [from, fromOfficialBase] : {std::pair(official, true), std::pair(mirror, false)}) {
            checkRedirect(from, target, fromOfficialBase);
        }
    }
    return 0;
}
