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

/// A running capture from one device into one recording file. Destroying it releases the device.
class CaptureSession {
public:
    virtual ~CaptureSession() = default;

    virtual bool isRunning() const = 0;

    /// Releases the device at once; the session reports nothing more.
    virtual void stopRunning() = 0;

    /// Asks for the file to be completed; the outcome arrives through the finish handler.
    virtual void stopRecording() = 0;
};

/// The microphones of the machine and recording from them.
class AudioCapture {
public:
    /// Called once per recording with the file and, when it could not be completed, a description of why.
    /// May arrive on any thread.
    using FinishHandler = std::function<void(const QString& url, const std::optional<QString>& error)>;
    /// Called on the main thread 20 times a second while recording, with the latest average power of each
    /// channel in dB relative to full scale.
    using LevelHandler = std::function<void(const QList<float>& channelPowers)>;

    virtual ~AudioCapture() = default;

    virtual QList<AudioInputDevice> inputDevices() const = 0;

    /// Calls the handler on the main thread whenever a device appears or disappears. Watching costs a
    /// connection to the sound server, so an empty handler stops it.
    virtual void setDevicesChangedHandler(std::function<void()> handler) = 0;

    /// Starts recording the device with this identifier into the file, or the default input when the
    /// identifier is empty or names no present device. Nothing when there is no input or it cannot be opened;
    /// the reason is logged.
    /// Once the input is open, whatever is at url is removed (a symlink itself, never its target) and the
    /// file is created anew, readable by its owner only.
    virtual std::unique_ptr<CaptureSession> startRecording(const QString& deviceId, const QString& url,
                                                           FinishHandler onFinish, LevelHandler onLevels) = 0;
};
