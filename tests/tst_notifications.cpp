#include "fakes/FakeNotificationService.h"
#include "platform/linux/FreedesktopNotifications.h"

#include <QTest>

class NotificationsTest : public QObject {
    Q_OBJECT

private slots:
    void reachesTheServerAsOnePlainLine() {
        FakeNotificationService server;
        QStringList unanswered;
        FreedesktopNotifications notifications([&](const QString& m) { unanswered.append(m); },
                                               server.address());
        const QString message =
            QStringLiteral("The chat server at http://127.0.0.1:11434/?a<b&c did not answer; "
                           "the transcript is in Recent.");
        notifications.notify(message);
        QTRY_COMPARE(server.summaries(), QStringList{message});
        QCOMPARE(server.lastAppName, QStringLiteral("Murmuro"));
        QCOMPARE(server.lastBody, QString());
        QTest::qWait(50);
        QVERIFY(unanswered.isEmpty());
    }

    void withoutAServerLogsAndHandsTheMessageOn() {
        FakeNotificationService bus(false);
        QStringList unanswered;
        FreedesktopNotifications notifications([&](const QString& m) { unanswered.append(m); },
                                               bus.address());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not take the notification \"No speech"));
        notifications.notify(QStringLiteral("No speech was heard."));
        QTRY_COMPARE(unanswered, QStringList{QStringLiteral("No speech was heard.")});
    }
};

QTEST_GUILESS_MAIN(NotificationsTest)
#include "tst_notifications.moc"
