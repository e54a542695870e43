#include "rawcodec.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

bool DescribeRaw(const RawFormat& f, RawLayout& out, std::string& why) {
    RawLayout l;
    l.sampleRate = f.sampleRate;
    l.channels = f.channels;
    if (f.sampleRate < 1 || f.sampleRate > 384000) {
        why = "a sample rate of " + std::to_string(f.sampleRate) + " Hz is not supported";
        return false;
    }
    if (f.channels < 1 || f.channels > 8) {
        why = std::to_string(f.channels) + " channels are not supported";
        return false;
    }
    l.input = PcmFormat{f.sampleRate, f.channels, SampleType::S16};
    switch (f.codec) {
    case 1: // PCM, little-endian signed
        l.storedBits = f.bits;
        if (f.bits >= 2 && f.bits <= 8) {
            l.codecId = AV_CODEC_ID_PCM_S8;
            l.input.type = SampleType::U8;
            l.packetBytes = f.channels;
        } else if (f.bits == 16) {
            l.codecId = AV_CODEC_ID_PCM_S16LE;
            l.packetBytes = 2 * f.channels;
        } else if (f.bits == 24) {
            l.codecId = AV_CODEC_ID_PCM_S24LE;
            l.input.type = SampleType::S24;
            l.packetBytes = 3 * f.channels;
        } else if (f.bits == 32) {
            l.codecId = AV_CODEC_ID_PCM_S32LE;
            l.input.type = SampleType::S32;
            l.packetBytes = 4 * f.channels;
        } else {
            why = "RAW PCM with " + std::to_string(f.bits) + " bits per sample is not supported";
            return false;
        }
        break;
    case 2:
    case 3:
        l.codecId = f.codec == 2 ? AV_CODEC_ID_PCM_ALAW : AV_CODEC_ID_PCM_MULAW;
        l.storedBits = 8;
        l.packetBytes = f.channels;
        break;
    case 4:
        l.codecId = AV_CODEC_ID_GSM;
        l.sampleRate = 8000;
        l.channels = 1;
        l.input = PcmFormat{8000, 1, SampleType::S16};
        l.storedBits = 0;
        l.packetBytes = 33;
        l.packetFrames = 160;
        break;
    case 5:
    case 6:
        if (f.channels > 2) {
            why = "ADPCM takes one or two channels";
            return false;
        }
        l.storedBits = 4;
        l.packetBytes = kAdpcmBlockBytes;
        if (f.codec == 5) {
            l.codecId = AV_CODEC_ID_ADPCM_IMA_WAV;
            l.packetFrames = (kAdpcmBlockBytes - 4 * f.channels) * 2 / f.channels + 1;
        } else {
            l.codecId = AV_CODEC_ID_ADPCM_MS;
            l.packetFrames = (kAdpcmBlockBytes - 7 * f.channels) * 2 / f.channels + 2;
        }
        break;
    default:
        why = "RAW codec " + std::to_string(f.codec) +
              " is unknown (1 PCM, 2 A-law, 3 mu-law, 4 GSM 6.10, 5 IMA ADPCM, 6 MS ADPCM)";
        return false;
    }
    out = l;
    return true;
}
