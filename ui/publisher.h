#pragma once

// The publisher's addresses, opened from the settings dialog's about page and from the main
// window's "web" element. Both go to the desktop's own handlers (QDesktopServices::openUrl).
namespace publisher {
inline constexpr const char* kSupportMailUrl = "mailto:support@tarno-recorder.example";
inline constexpr const char* kHomePageUrl = "https://tarno-recorder.example/";
} // namespace publisher
