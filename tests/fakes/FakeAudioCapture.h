#pragma once

#include "platform/AudioCapture.h"

#include <QStringList>

/// A capture whose sessions run until stopped, with levels the test sets.
class FakeAudioCapture : public AudioCapture {
public:
    class Session : public CaptureSession, public AudioFileOutput {
    public:
        explicit Session(QStringList& events)
            : m_events(events) {}
        bool isRunning() const override { return running; }
        void stopRunning() override {
            running = false;
            m_events.append(QStringLiteral("session stopped"));
        }
        AudioFileOutput* fileOutput() override { return this; }
        void stopRecording() override {}
        QList<float> channelPowerLevels() const override { return levels; }

        bool running = true;
        QList<float> levels;

    private:
        QStringList& m_events;
    };

    explicit FakeAudioCapture(QStringList& events)
        : m_events(events) {}

    QList<AudioInputDevice> inputDevices() const override { return {}; }
    void setDevicesChangedHandler(std::function<void()>) override {}

    std::unique_ptr<CaptureSession> startRecording(const QString& deviceId, const QString& url,
                                                   FinishHandler onFinish) override {
        m_events.append(QStringLiteral("capture started ") + deviceId + QStringLiteral(" ") + url);
        finish = std::move(onFinish);
        if (!hasInput) {
            return nullptr;
        }
        auto session = std::make_unique<Session>(m_events);
        lastSession = session.get();
        return session;
    }

    bool hasInput = true;
    FinishHandler finish;
    Session* lastSession = nullptr;

private:
    QStringList& m_events;
};
