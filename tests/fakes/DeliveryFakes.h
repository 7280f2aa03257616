#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/KeyboardEvents.h"
#include "platform/Pasteboard.h"
#include "platform/SystemSound.h"
#include "platform/Workspace.h"

#include <QStringList>

#include <optional>

/// Every delivery service at once, writing each call, in order, into one journal.
class DeliveryJournal : public Pasteboard,
                        public SystemSound,
                        public AccessibilityTrust,
                        public KeyboardEvents {
public:
    void clearContents() override { entries << QStringLiteral("clear clipboard"); }
    void setString(const QString& text) override { entries << QStringLiteral("set clipboard ") + text; }
    void play(const QString& name) override { entries << QStringLiteral("play ") + name; }
    bool isTrustedPromptingUser() override {
        entries << QStringLiteral("check trust");
        return trusted;
    }
    void postPasteKeystroke() override { entries << QStringLiteral("paste keystroke"); }

    QStringList entries;
    bool trusted = true;
};

class JournalApplication : public RunningApplication {
public:
    JournalApplication(QStringList& journal, std::optional<QString> name, bool terminated)
        : m_journal(journal)
        , m_name(std::move(name))
        , m_terminated(terminated) {}
    bool isTerminated() const override { return m_terminated; }
    std::optional<QString> localizedName() const override { return m_name; }
    void activate() override { m_journal << QStringLiteral("activate"); }

private:
    QStringList& m_journal;
    std::optional<QString> m_name;
    bool m_terminated;
};
