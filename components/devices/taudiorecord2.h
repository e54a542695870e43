#pragma once

#include "block.h"
#include "failurehandler.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class AudioBackend;

// The capture component. Devices are the backend's sources (monitors included) followed by the
// entry "Default input", which follows the system's default source; lines are the ports of the
// selected source, numbered from 1 (line 0 is the source itself).
//
// Devices follow the server: OnDevicesChanged says that sources came or went (a USB microphone
// plugged in); the next GetMaxDeviceIndex lists them anew and keeps the selected device selected
// by its server name, wherever it moved in the list. A selected device that is no longer there
// is still what StartCapture asks for; it then records from "Default input" instead and says so
// through TakeFallbackNotice.
//
// All calls and all signals happen on the thread that created the object (the UI thread).
// Failures of calls raise ComponentError. A stream that fails while capturing fails the
// component's next event, after the blocks captured before it; a failure in an event (the
// stream's, or one a connected slot lets out) goes to the failure handler on the UI thread.
class TAudioRecord2 : public QObject {
    Q_OBJECT
public:
    explicit TAudioRecord2(std::shared_ptr<AudioBackend> backend, QObject* parent = nullptr);
    ~TAudioRecord2() override;

    // Receives the failures of the events the event loop delivers (wake-ups, the meter timer, the
    // device watch), once each; nothing is thrown into the event loop. Without a handler they
    // propagate to whoever delivered the event (the simulated backend's Advance in tests).
    void SetFailureHandler(FailureHandler handler);

    // The index of "Default input", the last entry; it is there even when no sound server answers
    // (capture from it then fails to start), so the result is never negative.
    std::int16_t GetMaxDeviceIndex();
    void SelectDevice(int index); // 0-based
    QString GetDeviceName();
    // The name GetDeviceName gives for `index` of the latest list, without selecting it.
    QString DeviceName(int index) const;
    // The selected device's index in the latest list ("Default input" is the last); -1 when the
    // selected device has gone from the server since it was chosen.
    int GetSelectedDevice() const;
    std::int16_t GetLineCount(); // ports of the selected device
    void SelectLine(int line);   // 1-based; 0 = the device itself
    QString GetLineName();
    bool GetLineActive();            // the selected line is the active port
    void SetLineActive(bool active); // true makes the selected port active
    int GetLineVolume();             // 0..65536 = 0..100 % of the selected device
    void SetLineVolume(int volume);

    // The file's format handle and parameter; capture opens its stream in exactly that format.
    void SetFormat(std::int32_t handle, std::int32_t param);
    int CalcBufferSize(int ms);    // bytes of `ms` milliseconds in that format
    void SetBufferSize(int bytes); // the block size of OnEndArrayRecord

    void StartCapture(); // starts or resumes
    // Stops; the audio captured up to this call that is still on its way from the server is
    // awaited (about one server latency, at most half a second). Before it returns, a last
    // OnTimer counts every frame read, and what was not yet delivered comes out as a last,
    // possibly shorter block through OnEndArrayRecord.
    void StopCapture();
    // After a StartCapture that found the selected device gone and recorded from "Default input"
    // instead: the sentence that tells the user so, once; empty otherwise.
    QString TakeFallbackNotice();
    int GetErrorCode() const;     // non-zero when the stream could not start
    QString GetErrorText() const; // why, when GetErrorCode is non-zero
    Block GetRecordedBlock();     // the block announced by OnEndArrayRecord
    std::int64_t SamplesToMs(std::int64_t samples) const;
    std::int64_t LostFrames() const; // frames lost to overruns since SetFormat

signals:
    void OnDevicesChanged();
    void OnEndArrayRecord(int nBlock);
    // About every 50 ms while audio comes in: the frames since the latest StartCapture up to the
    // end of the audio this event shows, and that audio's peak levels (0..32767). The audio is
    // shown in steps of 50 ms; when the server hands over several steps at once, the later ones
    // follow 50 ms apart.
    void OnTimer(qint64 CurrentSamples, int LevelLeft, int LevelRight);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
