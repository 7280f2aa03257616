#pragma once

#include "platform/AudioCapture.h"

/// A machine whose microphones the test plugs in and out; recording is not possible.
class FakeAudioDevices : public AudioCapture {
public:
    QList<AudioInputDevice> devices;
    int listReads = 0;

    QList<AudioInputDevice> inputDevices() const override {
        ++const_cast<FakeAudioDevices*>(this)->listReads;
        return devices;
    }
    void setDevicesChangedHandler(std::function<void()> handler) override {
        devicesChanged = std::move(handler);
    }
    std::unique_ptr<CaptureSession> startRecording(const QString&, const QString&, FinishHandler) override {
        return nullptr;
    }

    /// Plugs in or removes devices and tells whoever listens, as the device monitor would.
    void replaceDevices(QList<AudioInputDevice> newDevices) {
        devices = std::move(newDevices);
        if (devicesChanged) {
            devicesChanged();
        }
    }

private:
    std::function<void()> devicesChanged;
};
