// The INI reader over arbitrary file contents: every lookup and every update must stay in bounds.
#include "tinifile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString content =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const char* section : {"mp3", "info", "Output", ""}) {
        for (const char* key : {"bitrate", "comment", "dir", ""}) {
            const QString value = ini::Lookup(content, section, key);
            int n = 0;
            ini::ParseInteger(value, n);
            if (value.size() > 2047)
                __builtin_trap();
            const QString updated = ini::Update(content, section, key, "a\nb\\c");
            if (ini::Lookup(updated, section, key) != "a\nb\\c" && QString(key) != "" &&
                QString(section) != "")
                __builtin_trap();
        }
    }
    return 0;
}
