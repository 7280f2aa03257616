#include "history/DictationHistory.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

DictationRecord record(int number, bool delivered = true) {
    DictationRecord record;
    record.time = QDateTime(QDate(2026, 3, 1), QTime(9, 0, 0, number % 1000), Qt::UTC);
    record.mode = delivered ? DictationMode::hypeMan : DictationMode::smart;
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
    QString path() const { return m_dir.filePath(QStringLiteral("data/Murmuro/history.jsonl")); }

    /// What is left in the history's folder besides the history itself.
    QStringList setAside() const {
        return QDir(m_dir.filePath(QStringLiteral("data/Murmuro")))
            .entryList({QStringLiteral("history.jsonl.unreadable-*")}, QDir::Files | QDir::Dirs);
    }

private slots:
    void init() { QDir(m_dir.filePath(QStringLiteral("data"))).removeRecursively(); }

    void keepsBothOutcomesAcrossLaunchesPrivately() {
        {
            DictationHistory history(path());
            QSignalSpy changed(&history, &DictationHistory::changed);
            history.add(record(1));
            history.add(record(2, false));
            QCOMPARE(changed.count(), 2);
        }
        DictationHistory relaunched(path());
        QCOMPARE(relaunched.records(), (QList<DictationRecord>{record(2, false), record(1)}));
        QCOMPARE(relaunched.records().at(0).recoverableText(), record(2).transcript);
        QCOMPARE(relaunched.records().at(1).recoverableText(), QStringLiteral("Rewritten 1"));
        QCOMPARE(QFile::permissions(path()), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadUser | QFileDevice::WriteUser);
        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 2);
    }

    void keepsOnlyTheLastFifty() {
        DictationHistory history(path());
        for (int i = 1; i <= 53; ++i) {
            history.add(record(i));
        }
        const QList<DictationRecord> kept = DictationHistory(path()).records();
        QCOMPARE(kept.size(), DictationHistory::capacity);
        QCOMPARE(kept.first(), record(53));
        QCOMPARE(kept.last(), record(4));
    }

    void setsAnUnreadableFileAsideAndStartsAnew_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("directory");
        QTest::newRow("not JSON") << QByteArray("{\"time\": \"2026-03-01T09:00:00Z\",\n") << false;
        QTest::newRow("missing field")
            << QByteArray("{\"time\":\"2026-03-01T09:00:00Z\",\"text\":\"x\"}\n") << false;
        QTest::newRow("unknown mode")
            << QByteArray(R"({"time":"2026-03-01T09:00:00Z","mode":"Loud","transcript":"a","text":"b"})")
            << false;
        QTest::newRow("a folder in its place") << QByteArray() << true;
    }

    void setsAnUnreadableFileAsideAndStartsAnew() {
        QFETCH(QByteArray, content);
        QFETCH(bool, directory);
        if (directory) {
            QVERIFY(QDir().mkpath(path()));
        } else {
            DictationHistory(path()).add(record(1));
            QFile file(path());
            QVERIFY(file.open(QIODevice::Append));
            file.write(content);
        }
        DictationHistory history(path());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot be read .* set aside"));
        QVERIFY(history.records().isEmpty());
        QCOMPARE(setAside().size(), 1);
        history.add(record(2));
        QCOMPARE(DictationHistory(path()).records(), QList<DictationRecord>{record(2)});
    }

    void offKeepsNothingNewAndClearForgetsAll() {
        DictationHistory history(path());
        history.add(record(1));
        history.setEnabled(false);
        history.add(record(2));
        QCOMPARE(DictationHistory(path()).records(), QList<DictationRecord>{record(1)});
        QSignalSpy changed(&history, &DictationHistory::changed);
        history.clear();
        QCOMPARE(changed.count(), 1);
        QVERIFY(history.records().isEmpty());
        QVERIFY(!QFile::exists(path()));
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
