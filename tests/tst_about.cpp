#include "ui/AboutCredits.h"
#include "ui/AboutDialog.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>

namespace {

/// Where a dialog of this size sits when centred on the screen, its top kept on the screen.
QPoint centredTopLeft(const QWidget& dialog) {
    const QRect available = dialog.screen()->availableGeometry();
    QRect frame = dialog.frameGeometry();
    frame.moveCenter(available.center());
    frame.moveTop(std::max(frame.top(), available.top()));
    return frame.topLeft();
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void creditsFollowTheTermsStructure() {
        const QStringList lines = aboutCredits().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 39);
        QCOMPARE(lines.first(), QStringLiteral("Software Terms of Use & Download Disclaimer"));
        QVERIFY(!lines.last().isEmpty());
        for (const QString& heading : {QStringLiteral("1. Digital Product \"As-Is\" Policy"),
                                       QStringLiteral("2. Usage & Limitation of Liability"),
                                       QStringLiteral("3. No Refund & Support Policy"),
                                       QStringLiteral("4. User Responsibility & Compliance"),
                                       QStringLiteral("5. Acceptance of Terms")}) {
            const qsizetype row = lines.indexOf(heading);
            QVERIFY2(row > 0, qPrintable(heading));
            // A heading follows an empty line and is followed directly by its text.
            QVERIFY(lines[row - 1].isEmpty());
            QVERIFY(!lines[row + 1].isEmpty());
        }
        for (const QString& start : {QStringLiteral("No Refunds:"), QStringLiteral("Support:"),
                                     QStringLiteral("Data Safety:"), QStringLiteral("Security:"),
                                     QStringLiteral("Legal Use:"), QStringLiteral("Prohibited Acts:")}) {
            QVERIFY2(std::any_of(lines.begin(), lines.end(),
                                 [&](const QString& l) { return l.startsWith(start); }),
                     qPrintable(start));
        }
    }

    void dialogShowsVersionAndCredits() {
        AboutDialog dialog;
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("version"))->text(),
                 QStringLiteral("Version 1.0 (%1)").arg(copyrightNotice()));
        auto* credits = dialog.findChild<QTextBrowser*>(QStringLiteral("credits"));
        QCOMPARE(credits->font().pointSize(), 11);
        QCOMPARE(credits->toPlainText(), aboutCredits());
    }

    void showingAgainRestoresSizeAndPlace() {
        AboutDialog dialog;
        dialog.showPanel();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isVisible(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.size(), QSize(500, 650), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.pos(), centredTopLeft(dialog), 10000);
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        dialog.move(3, 3);
        dialog.resize(300, 300);
        dialog.showPanel();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.size(), QSize(500, 650), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.pos(), centredTopLeft(dialog), 10000);

        int dialogs = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            dialogs += qobject_cast<AboutDialog*>(widget) ? 1 : 0;
        }
        QCOMPARE(dialogs, 1);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
