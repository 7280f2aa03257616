#include "speech/whisper/DownloadHeaders.h"

#include "net/WebRequest.h"

#include <limits>

namespace {

bool isHuggingFaceHost(const QString& host) {
    for (const QLatin1String domain : {QLatin1String("huggingface.co"), QLatin1String("hf.co")}) {
        if (host == domain || host.endsWith(QLatin1Char('.') + domain)) {
            return true;
        }
    }
    return false;
}

} // namespace

qint64 contentRangeStart(const QByteArray& contentRange) {
    if (!contentRange.startsWith("bytes ")) {
        return -1;
    }
    bool valid = false;
    const qint64 start = contentRange.mid(6, contentRange.indexOf('-') - 6).toLongLong(&valid);
    return valid ? start : -1;
}

qint64 downloadTotal(qint64 offset, qint64 announced) {
    // A Content-Length near the largest number would overflow the sum.
    if (announced <= 0 || announced > std::numeric_limits<qint64>::max() - offset) {
        return -1;
    }
    return offset + announced;
}

bool isFollowableRedirect(const QUrl& from, const QUrl& to, bool fromOfficialBase) {
    if (!isWebServerUrl(to)) {
        return false;
    }
    if (to.host() == from.host() && to.port() == from.port()) {
        return true;
    }
    return fromOfficialBase && to.scheme() == QLatin1String("https") && isHuggingFaceHost(to.host());
}
