#pragma once

#include <QByteArray>
#include <QUrl>

/// The start of a "bytes START-END/TOTAL" Content-Range, where a continued download resumes; -1 when the
/// header does not have that form.
qint64 contentRangeStart(const QByteArray& contentRange);

/// The whole size of a download that already holds offset bytes and whose reply announces the given
/// Content-Length; -1 when the reply announces none, or a size no file can have.
qint64 downloadTotal(qint64 offset, qint64 announced);

/// Whether a download at from may follow a redirect to to. The official base answers every download with a
/// redirect to Hugging Face's storage hosts; those are followed from it, over https only. Any other redirect
/// must stay on the host and port it came from.
bool isFollowableRedirect(const QUrl& from, const QUrl& to, bool fromOfficialBase);
