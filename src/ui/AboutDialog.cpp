#include "ui/AboutDialog.h"

#include "Version.h"

#include "ui/AboutCredits.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Murmuro"));
    // Floats above ordinary windows, like a utility panel.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);

    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    auto* name = new QLabel(QStringLiteral("Murmuro"), this);
    name->setObjectName(QStringLiteral("name"));
    QFont nameFont = name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    nameFont.setBold(true);
    name->setFont(nameFont);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);

    auto* version = new QLabel(
        QStringLiteral("Version %1 (%2)").arg(QLatin1String(murmuroVersion), copyrightNotice()), this);
    version->setObjectName(QStringLiteral("version"));
    version->setAlignment(Qt::AlignCenter);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(version);

    auto* credits = new QTextBrowser(this);
    credits->setObjectName(QStringLiteral("credits"));
    QFont creditsFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    creditsFont.setPointSize(11);
    credits->setFont(creditsFont);
    credits->setPlainText(aboutCredits());
    layout->addWidget(credits, 1);

    resize(readingSize);
}

void AboutDialog::showPanel() {
    show();
    // The window manager places a newly mapped window itself; the size and position are set again once it
    // has, as a separate step after this turn of the event loop.
    QTimer::singleShot(0, this, &AboutDialog::raiseAboutWindow);
}

void AboutDialog::raiseAboutWindow() {
    resize(readingSize);
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(available.center());
        // A screen lower than the dialog keeps its title bar reachable.
        frame.moveTop(std::max(frame.top(), available.top()));
        move(frame.topLeft());
    }
    raise();
    activateWindow();
}
