#include "ui/AboutCredits.h"

#include <QStringList>

QString aboutCredits() {
    static const QStringList lines = {
        QStringLiteral("Software Terms of Use & Download Disclaimer"),
        QStringLiteral("Please read this disclaimer carefully before you purchase, download or use Murmuro."),
        QString(),
        QStringLiteral("1. Digital Product \"As-Is\" Policy"),
        QStringLiteral(
            "Murmuro is provided \"as is\" and \"as available\", without warranty of any kind, express "
            "or implied, including fitness for a particular purpose, accuracy of transcription or "
            "uninterrupted operation."),
        QString(),
        QStringLiteral("2. Usage & Limitation of Liability"),
        QStringLiteral(
            "You use Murmuro at your own risk. The author is not liable for any damage that arises "
            "from using or being unable to use the software, including but not limited to:"),
        QString(),
        QStringLiteral("- loss of data, documents or clipboard contents;"),
        QString(),
        QStringLiteral("- text pasted into the wrong window or application;"),
        QString(),
        QStringLiteral("- errors in transcriptions or in rewritten text;"),
        QString(),
        QStringLiteral("- interruption of work, loss of profit or business opportunity."),
        QString(),
        QStringLiteral("Always review dictated text before you send, publish or rely on it."),
        QString(),
        QStringLiteral("3. No Refund & Support Policy"),
        QStringLiteral("Because Murmuro is a digital product that can be copied once it has been delivered, "
                       "every sale is final."),
        QString(),
        QStringLiteral("No Refunds: payments are not refunded once the download has been made available, "
                       "whether or not the software was installed or used."),
        QString(),
        QStringLiteral("Support: help is offered on a best-effort basis, without any promised response time "
                       "and without a guarantee that a reported problem will be fixed."),
        QString(),
        QStringLiteral("4. User Responsibility & Compliance"),
        QStringLiteral("You are responsible for how you use Murmuro and for the services you connect it to."),
        QString(),
        QStringLiteral("Data Safety: keep backups of your work; dictated text replaces what is on the "
                       "clipboard."),
        QString(),
        QStringLiteral("Security: point Murmuro only at language-model servers that you trust, since your "
                       "transcripts are sent to them."),
        QString(),
        QStringLiteral("Legal Use: obey the laws on recording speech and processing personal data that apply "
                       "where you live and work."),
        QString(),
        QStringLiteral(
            "Prohibited Acts: do not resell, redistribute, reverse engineer or use the software to "
            "harass, deceive or harm others."),
        QString(),
        QStringLiteral("5. Acceptance of Terms"),
        QStringLiteral(
            "By downloading, installing or using Murmuro you confirm that you have read these terms, "
            "understood them and agree to be bound by them."),
    };
    return lines.join(QLatin1Char('\n'));
}

QString copyrightNotice() {
    return QStringLiteral("Copyright \u00A9 2025 Murmuro Labs");
}
