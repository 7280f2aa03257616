#include "history/DictationHistory.h"

#include "log/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Fifty long dictations with their rewrites stay far below this; a bigger file is not ours.
constexpr qint64 maxFileSize = 8 * 1024 * 1024;

constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QByteArray encode(const DictationRecord& record) {
    QJsonObject object{{"time", record.time.toUTC().toString(Qt::ISODateWithMs)},
                       {"mode", rawValue(record.mode)},
                       {"transcript", record.transcript}};
    if (record.finalText) {
        object.insert("text", *record.finalText);
    } else {
        object.insert("failure", record.failure);
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<DictationRecord> decode(const QByteArray& line) {
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    const QJsonValue text = object.value("text");
    const QJsonValue failure = object.value("failure");
    DictationRecord record;
    record.time = QDateTime::fromString(object.value("time").toString(), Qt::ISODateWithMs);
    const std::optional<DictationMode> mode = modeFromRawValue(object.value("mode").toString());
    if (!record.time.isValid() || !mode || !object.value("transcript").isString() ||
        text.isString() == failure.isString()) {
        return std::nullopt;
    }
    record.mode = *mode;
    record.transcript = object.value("transcript").toString();
    if (text.isString()) {
        record.finalText = text.toString();
    } else {
        record.failure = failure.toString();
    }
    return record;
}

} // namespace

QString DictationHistory::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Murmuro/history.jsonl");
}

DictationHistory::DictationHistory(QString path)
    : m_path(std::move(path)) {}

void DictationHistory::add(const DictationRecord& record) {
    load();
    m_records.append(record);
    if (m_records.size() > capacity) {
        m_records.remove(0, m_records.size() - capacity);
    }
    save();
    emit changed();
}

QList<DictationRecord> DictationHistory::records() {
    load();
    QList<DictationRecord> newestFirst(m_records.crbegin(), m_records.crend());
    return newestFirst;
}

void DictationHistory::clear() {
    m_loaded = true;
    m_records.clear();
    QFile file(m_path);
    if (file.exists() && !file.remove()) {
        qCWarning(lcSession).noquote()
            << "Cannot remove the dictation history" << m_path << ":" << file.errorString();
    }
    emit changed();
}

void DictationHistory::load() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    QFile file(m_path);
    if (!file.exists()) {
        return;
    }
    if (file.size() > maxFileSize) {
        setAside(QStringLiteral("it is larger than any history this program writes"));
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        setAside(file.errorString());
        return;
    }
    qsizetype number = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        ++number;
        if (line.trimmed().isEmpty()) {
            continue;
        }
        const std::optional<DictationRecord> record = decode(line);
        if (!record) {
            m_records.clear();
            setAside(QStringLiteral("line %1 is no dictation record").arg(number));
            return;
        }
        m_records.append(*record);
    }
    if (m_records.size() > capacity) {
        m_records.remove(0, m_records.size() - capacity);
    }
}

void DictationHistory::setAside(const QString& why) {
    const QString aside = m_path + QStringLiteral(".unreadable-") +
                          QDateTime::currentDateTimeUtc().toString("yyyyMMddThhmmsszzz");
    const bool renamed = QFile::rename(m_path, aside);
    qCWarning(lcSession).noquote() << "The dictation history" << m_path << "cannot be read (" + why + ");"
                                   << (renamed ? "set aside as " + aside + ", starting a new one"
                                               : QStringLiteral("starting a new one over it"));
}

void DictationHistory::save() {
    const QFileInfo info(m_path);
    if (!info.dir().exists() && QDir().mkpath(info.absolutePath())) {
        QFile::setPermissions(info.absolutePath(), ownerOnly | QFileDevice::ExeOwner);
    }
    QSaveFile file(m_path);
    bool written = file.open(QIODevice::WriteOnly) && file.setPermissions(ownerOnly);
    for (qsizetype i = 0; written && i < m_records.size(); ++i) {
        written = file.write(encode(m_records[i]) + '\n') >= 0;
    }
    if (!written || !file.commit()) {
        qCWarning(lcSession).noquote()
            << "Cannot write the dictation history" << m_path << ":" << file.errorString();
    }
}
