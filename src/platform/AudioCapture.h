#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

/// An input device as the device list shows it.
struct AudioInputDevice {
    QString uniqueId;    ///< Stable across restarts; what the settings store.
    QString displayName; ///< What the user sees.
};

/// The part of a running capture that writes the recording file.
class AudioFileOutput {
public:
    virtual ~AudioFileOutput() = default;

    /// Asks the recorder to complete the file; the outcome arrives through the finish handler.
    virtual void stopRecording() = 0;

    /// The most recent average power of each channel in dB relative to full scale; empty when none is known.
    virtual QList<float> channelPowerLevels() const = 0;
};

/// A running capture from one device. Destroying it releases the device.
class CaptureSession {
public:
    virtual ~CaptureSession() = default;

    virtual bool isRunning() const = 0;
    virtual void stopRunning() = 0;

    /// Owned by the session.
    virtual AudioFileOutput* fileOutput() = 0;
};

/// The microphones of the machine and recording from them.
class AudioCapture {
public:
    /// Called once per recording with the file and, when it could not be completed, a description of why.
    /// May arrive on any thread.
    using FinishHandler = std::function<void(const QString& url, const std::optional<QString>& error)>;

    virtual ~AudioCapture() = default;

    virtual QList<AudioInputDevice> inputDevices() const = 0;

    /// Calls the handler on the main thread whenever a device appears or disappears. Watching costs a
    /// connection to the sound server, so an empty handler stops it.
    virtual void setDevicesChangedHandler(std::function<void()> handler) = 0;

    /// Starts recording the device with this identifier into the file, or the default input when the
    /// identifier is empty or names no present device. Nothing when there is no input or it cannot be opened.
    /// Once the input is open, whatever is at url is removed (a symlink itself, never its target) and the
    /// file is created anew, readable by its owner only.
    virtual std::unique_ptr<CaptureSession> startRecording(const QString& deviceId, const QString& url,
                                                           FinishHandler onFinish) = 0;
};
