#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/KeyboardEvents.h"
#include "platform/Pasteboard.h"
#include "platform/SystemSound.h"
#include "platform/Workspace.h"

#include <QStringList>

#include <optional>

// Delivery services that write every call, in order, into one shared journal.

class JournalPasteboard : public Pasteboard {
public:
    explicit JournalPasteboard(QStringList& journal)
        : m_journal(journal) {}
    void clearContents() override { m_journal << QStringLiteral("clear clipboard"); }
    void setString(const QString& text) override { m_journal << QStringLiteral("set clipboard ") + text; }

private:
    QStringList& m_journal;
};

class JournalSystemSound : public SystemSound {
public:
    explicit JournalSystemSound(QStringList& journal)
        : m_journal(journal) {}
    void play(const QString& name) override { m_journal << QStringLiteral("play ") + name; }

private:
    QStringList& m_journal;
};

class JournalAccessibilityTrust : public AccessibilityTrust {
public:
    explicit JournalAccessibilityTrust(QStringList& journal)
        : m_journal(journal) {}
    bool isTrustedPromptingUser() override {
        m_journal << QStringLiteral("check trust");
        return trusted;
    }

    bool trusted = true;

private:
    QStringList& m_journal;
};

class JournalKeyboardEvents : public KeyboardEvents {
public:
    explicit JournalKeyboardEvents(QStringList& journal)
        : m_journal(journal) {}
    void postPasteKeystroke() override { m_journal << QStringLiteral("paste keystroke"); }

private:
    QStringList& m_journal;
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
