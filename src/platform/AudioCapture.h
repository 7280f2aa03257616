#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <span>

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
    /// Called on a capture thread, piece by piece and in order, with the recording's audio as 16 kHz mono
    /// float samples, so that a recogniser can work while the user speaks. The pieces reach it before the
    /// finish handler hears that the file is complete.
    using SampleHandler = std::function<void(std::span<const float> samples)>;

    virtual ~AudioCapture() = default;

    /// Readies in the background, without opening any device, what would make the first recording of the
    /// run start late. Returns at once.
    virtual void prepare() = 0;

    virtual QList<AudioInputDevice> inputDevices() const = 0;

    /// Calls the handler on the main thread whenever a device appears or disappears. Watching costs a
    /// connection to the sound server, so an empty handler stops it.
    virtual void setDevicesChangedHandler(std::function<void()> handler) = 0;

    /// Starts recording the device with this identifier into the file, or the default input when the
    /// identifier is empty or names no present device. Nothing when there is no input or it cannot be opened;
    /// the reason is logged. Without a sample handler the audio goes only into the file.
    /// Once the input is open, whatever is at url is removed (a symlink itself, never its target) and the
    /// file is created anew, readable by its owner only.
    virtual std::unique_ptr<CaptureSession> startRecording(const QString& deviceId, const QString& url,
                                                           FinishHandler onFinish, LevelHandler onLevels,
                                                           SampleHandler onSamples) = 0;
};
