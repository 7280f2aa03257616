#include "ui/AboutCredits.h"
#include "ui/AboutDialog.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void creditsFollowTheTermsStructure() {
        const QStringList lines = aboutCredits().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 39);
        QCOMPARE(lines.first(), QStringLiteral("Software Terms of Use & Download Disclaimer"));
        for (const char* heading : {"1. Digital Product \"As-Is\" Policy",
                                    "2. Usage & Limitation of Liability", "3. No Refund & Support Policy",
                                    "4. User Responsibility & Compliance", "5. Acceptance of Terms"}) {
            const qsizetype row = lines.indexOf(QLatin1String(heading));
            // A heading follows an empty line and is followed directly by its text.
            QVERIFY2(row > 0 && lines[row - 1].isEmpty() && !lines[row + 1].isEmpty(), heading);
        }
        for (const char* start :
             {"No Refunds:", "Support:", "Data Safety:", "Security:", "Legal Use:", "Prohibited Acts:"})
            QVERIFY2(std::ranges::any_of(lines, [&](const QString& l) { return l.startsWith(start); }),
                     start);
    }

    void oneDialogShowsVersionAndCreditsCentredAtItsSize() {
        AboutDialog dialog;
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("version"))->text(),
                 QStringLiteral("Version 1.0 (%1)").arg(copyrightNotice()));
        auto* credits = dialog.findChild<QTextBrowser*>(QStringLiteral("credits"));
        QCOMPARE(credits->font().pointSize(), 11);
        QCOMPARE(credits->toPlainText(), aboutCredits());
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        // A second showing restores the size and the place.
        for (int shown = 0; shown < 2; ++shown) {
            if (shown) {
                dialog.move(3, 3);
                dialog.resize(300, 300);
            }
            dialog.showPanel();
            QTRY_VERIFY_WITH_TIMEOUT(dialog.isVisible(), 10000);
            QTRY_COMPARE_WITH_TIMEOUT(dialog.size(), QSize(500, 650), 10000);
            // Centred on the screen, its top kept on the screen.
            const QRect available = dialog.screen()->availableGeometry();
            QRect frame = dialog.frameGeometry();
            frame.moveCenter(available.center());
            frame.moveTop(std::max(frame.top(), available.top()));
            QTRY_COMPARE_WITH_TIMEOUT(dialog.pos(), frame.topLeft(), 10000);
        }
        QCOMPARE(std::ranges::count_if(QApplication::topLevelWidgets(),
                                       [](QWidget* widget) { return qobject_cast<AboutDialog*>(widget); }),
                 1);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
