#include "history/DictationHistory.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

DictationRecord record(int number, bool delivered = true) {
    DictationRecord record;
    record.time = QDateTime(QDate(2026, 3, 1), QTime(9, 0, 0, number), Qt::UTC);
    record.mode = DictationMode::hypeMan;
    record.transcript = QStringLiteral("dictation %1: \"Grüße\"\nzweite Zeile 👋").arg(number);
    if (delivered) {
        record.finalText = QStringLiteral("Rewritten %1").arg(number);
    } else {
        record.failure = QStringLiteral("The chat server did not answer.");
    }
    return record;
}

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath(QStringLiteral("Murmuro/history.jsonl"));

private slots:
    void init() { QDir(m_dir.filePath(QStringLiteral("Murmuro"))).removeRecursively(); }

    void keepsTheLastFiftyOfBothOutcomesPrivately() {
        DictationHistory history(m_path);
        QSignalSpy changed(&history, &DictationHistory::changed);
        for (int i = 1; i <= 53; ++i) {
            history.add(record(i, i != 53));
        }
        QCOMPARE(changed.count(), 53);
        const QList<DictationRecord> kept = DictationHistory(m_path).records();
        QCOMPARE(kept.size(), DictationHistory::capacity);
        QCOMPARE(kept.first(), record(53, false));
        QCOMPARE(kept.first().recoverableText(), record(53).transcript);
        QCOMPARE(kept[1].recoverableText(), QStringLiteral("Rewritten 52"));
        QCOMPARE(kept.last(), record(4));
        QCOMPARE(QFile::permissions(m_path), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadUser | QFileDevice::WriteUser);
    }

    void setsAnUnreadableFileAsideAndStartsAnew_data() {
        QTest::addColumn<QByteArray>("appended");
        QTest::newRow("not JSON") << QByteArray("{\"time\": \"2026-03-01T09:00:00Z\",\n");
        QTest::newRow("unknown mode")
            << QByteArray(R"({"time":"2026-03-01T09:00:00Z","mode":"Loud","transcript":"a","text":"b"})");
        QTest::newRow("a folder in its place") << QByteArray();
    }

    void setsAnUnreadableFileAsideAndStartsAnew() {
        QFETCH(QByteArray, appended);
        if (appended.isEmpty()) {
            QVERIFY(QDir().mkpath(m_path));
        } else {
            DictationHistory(m_path).add(record(1));
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::Append) && file.write(appended) > 0);
        }
        DictationHistory history(m_path);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("cannot be read .* set aside as .*unreadable-"));
        QVERIFY(history.records().isEmpty());
        history.add(record(2));
        QCOMPARE(DictationHistory(m_path).records(), QList<DictationRecord>{record(2)});
    }

    void clearForgetsAll() {
        DictationHistory history(m_path);
        history.add(record(1));
        history.clear();
        QVERIFY(history.records().isEmpty() && !QFile::exists(m_path));
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
