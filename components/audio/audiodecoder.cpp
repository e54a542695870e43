#include "audiodecoder.h"

#include "containerdecoder.h"
#include "rawdecoder.h"

#include <algorithm>
#include <cctype>

std::unique_ptr<AudioDecoder> OpenAudioDecoder(const std::string& path, const RawFormat& raw) {
    std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".raw")
        return std::make_unique<RawDecoder>(path, raw);
    return std::make_unique<ContainerDecoder>(path);
}
