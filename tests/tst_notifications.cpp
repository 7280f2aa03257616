#include "fakes/FakeNotificationService.h"
#include "log/Log.h"
#include "platform/linux/FreedesktopNotifications.h"

#include <QTest>

// The notifications on a fake notification server of a private bus.
class NotificationsTest : public QObject {
    Q_OBJECT

private slots:
    void reachTheServerAsOnePlainLine() {
        FakeNotificationService server;
        FreedesktopNotifications notifications(server.address);
        const QString message =
            QStringLiteral("The chat server at http://127.0.0.1:11434/?a<b&c did not answer; "
                           "the transcript is in Recent.");
        notifications.notify(message);
        QTRY_COMPARE(server.summaries, QStringList{message});
        const QVariantList& call = server.calls.first();
        QCOMPARE(call.at(0).toString(), QStringLiteral("Murmuro"));
        QCOMPARE(call.at(4).toString(),
                 QString()); // the body may be read as markup; the summary is plain text
    }

    void withoutAServerAreLogged() {
        FakeNotificationService bus(false);
        FreedesktopNotifications notifications(bus.address);
        QStringList log;
        setLogSink([&log](const QString& line) { log << line; });
        notifications.notify(QStringLiteral("No speech was heard."));
        QTRY_COMPARE(log.size(), 1);
        QVERIFY(
            log.first().startsWith("The desktop did not take the notification \"No speech was heard.\": "));
        setLogSink({});
    }
};

QTEST_GUILESS_MAIN(NotificationsTest)
#include "tst_notifications.moc"
