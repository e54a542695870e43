// The capture component's device list follows the server: sources plugged in or pulled out while
// the program runs, the selection kept by name, and the fall-back when the chosen input is gone.
#include "simulatedbackend.h"
#include "taudiorecord2.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

const PcmFormat kCd{44100, 2, SampleType::S16};

AudioSource Usb() {
    AudioSource s;
    s.name = "usb_mic";
    s.description = "USB Microphone";
    s.volume = 65536;
    return s;
}

TEST(DeviceList, SourcesComingAndGoingAreAnnouncedAndTheSelectionFollowsByName) {
    auto sim = std::make_shared<SimulatedBackend>();
    TAudioRecord2 rec(sim);
    int changes = 0;
    QObject::connect(&rec, &TAudioRecord2::OnDevicesChanged, [&] { ++changes; });

    ASSERT_EQ(rec.GetMaxDeviceIndex(), 1); // "Simulated input", then "Default input"
    rec.SelectDevice(0);
    ASSERT_EQ(rec.GetDeviceName(), "Simulated input");

    // Plugged in: announced; listed first by the server, the selection moves with its device.
    sim->ClearSources();
    sim->AddSource(Usb());
    AudioSource input;
    input.name = "sim_input";
    input.description = "Simulated input";
    sim->AddSource(input);
    EXPECT_GE(changes, 1);
    ASSERT_EQ(rec.GetMaxDeviceIndex(), 2);
    EXPECT_EQ(rec.DeviceName(0), "USB Microphone");
    EXPECT_EQ(rec.DeviceName(2), "Default input");
    EXPECT_EQ(rec.GetSelectedDevice(), 1);
    EXPECT_EQ(rec.GetDeviceName(), "Simulated input");

    // "Default input" stays the last entry whatever comes and goes.
    rec.SelectDevice(2);
    sim->RemoveSource("usb_mic");
    EXPECT_EQ(rec.GetMaxDeviceIndex(), 1);
    EXPECT_EQ(rec.GetSelectedDevice(), 1);
}

TEST(DeviceList, AChosenInputThatWasUnpluggedGivesWayToTheDefaultWithANotice) {
    auto sim = std::make_shared<SimulatedBackend>();
    sim->AddSource(Usb());
    TAudioRecord2 rec(sim);
    ASSERT_EQ(rec.GetMaxDeviceIndex(), 2);
    rec.SelectDevice(1);
    ASSERT_EQ(rec.GetDeviceName(), "USB Microphone");

    // Pulled out and back in before the recording: nothing to say, it records from the device.
    sim->RemoveSource("usb_mic");
    sim->AddSource(Usb());
    rec.SetFormat(kCd.Handle(), kCd.Param());
    rec.StartCapture();
    EXPECT_EQ(sim->LastCaptureSource(), "usb_mic");
    EXPECT_TRUE(rec.TakeFallbackNotice().isEmpty());
    rec.StopCapture();

    // Pulled out for good: the list no longer has it, the name is still known, and the next
    // start records from "Default input" and says so once.
    sim->RemoveSource("usb_mic");
    EXPECT_EQ(rec.GetMaxDeviceIndex(), 1);
    EXPECT_EQ(rec.GetSelectedDevice(), -1);
    EXPECT_EQ(rec.GetDeviceName(), "USB Microphone");
    rec.StartCapture();
    ASSERT_EQ(rec.GetErrorCode(), 0) << rec.GetErrorText().toStdString();
    EXPECT_EQ(sim->LastCaptureSource(), AudioBackend::kDefaultSource);
    EXPECT_EQ(rec.TakeFallbackNotice(), "The input \"USB Microphone\" is no longer connected, so "
                                        "this recording comes from \"Default input\".");
    EXPECT_TRUE(rec.TakeFallbackNotice().isEmpty());
    EXPECT_EQ(rec.GetSelectedDevice(), 1);
    EXPECT_EQ(rec.GetDeviceName(), "Default input");
    sim->Advance(600);
    rec.StopCapture();
}

} // namespace
