#pragma once

#include "core/DictationMode.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

/// One finished dictation as the history keeps it.
struct DictationRecord {
    QDateTime time;
    DictationMode mode = DictationMode::smart;
    QString transcript;
    /// What was delivered; absent when nothing was.
    std::optional<QString> finalText;
    /// Why nothing was delivered; empty when something was.
    QString failure;

    bool operator==(const DictationRecord&) const = default;

    /// What to hand back to the user: the final text, else the transcript.
    QString recoverableText() const { return finalText.value_or(transcript); }
};

/// The most recent dictations, kept in a file of one JSON object per line so that a rewrite that failed can
/// still be recovered. The file is read on first use, rewritten whole and atomically on every change, and
/// readable by its owner only. A file that cannot be read or parsed is renamed aside and a new one started.
/// Lives on the main thread.
class DictationHistory : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype capacity = 50;

    /// The file: $XDG_DATA_HOME/Murmuro/history.jsonl.
    static QString defaultPath();

    explicit DictationHistory(QString path);

    /// Keeps the record, dropping the oldest beyond the capacity.
    void add(const DictationRecord& record);

    /// Newest first.
    QList<DictationRecord> records();

    /// Forgets every record and removes the file.
    void clear();

signals:
    void changed();

private:
    void load();
    void setAside(const QString& why);
    void save();

    QString m_path;
    bool m_loaded = false;
    QList<DictationRecord> m_records; ///< Oldest first, as in the file.
};
