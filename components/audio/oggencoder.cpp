#include "oggencoder.h"

#include "componenterror.h"
#include "oggcommentpages.h"
#include "pcmconvert.h"
#include "tagroom.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vorbis/vorbisenc.h>

struct OggEncoder::State {
    vorbis_info vi;
    vorbis_comment vc;
    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    bool infoInit = false, commentInit = false, dspInit = false, blockInit = false,
         streamInit = false;

    ~State() {
        if (streamInit)
            ogg_stream_clear(&os);
        if (blockInit)
            vorbis_block_clear(&vb);
        if (dspInit)
            vorbis_dsp_clear(&vd);
        if (commentInit)
            vorbis_comment_clear(&vc);
        if (infoInit)
            vorbis_info_clear(&vi);
    }
};

bool OggEncoder::IsManagedSupported(int sampleRate, int channels, int bitrate, int minBitrate,
                                    int maxBitrate) {
    if (sampleRate < 1 || channels < 1 || channels > 255)
        return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    const int rc = vorbis_encode_setup_managed(&vi, channels, sampleRate, maxBitrate * 1000L,
                                               bitrate * 1000L, minBitrate * 1000L);
    const bool ok = rc == 0 && vorbis_encode_setup_init(&vi) == 0;
    vorbis_info_clear(&vi);
    return ok;
}

OggEncoder::OggEncoder(const Settings& settings) : settings_(settings) {
    input_.rate = settings.sampleRate;
    input_.channels = settings.channels;
    input_.type = SampleType::S16;
}

OggEncoder::~OggEncoder() {
    sink_.Abandon();
}

void OggEncoder::Open(const std::string& path) {
    const Settings& s = settings_;
    auto st = std::make_unique<State>();
    vorbis_info_init(&st->vi);
    st->infoInit = true;
    int rc = -1;
    if (s.sampleRate >= 1 && s.channels >= 1 && s.channels <= 8) {
        if (s.quality < 0)
            rc = vorbis_encode_init(&st->vi, s.channels, s.sampleRate, s.maxBitrate * 1000L,
                                    s.bitrate * 1000L, s.minBitrate * 1000L);
        else
            rc = vorbis_encode_init_vbr(&st->vi, s.channels, s.sampleRate,
                                        std::min(s.quality, 1000) / 1000.0f);
    }
    if (rc != 0) {
        const std::string what = s.quality < 0 ? std::to_string(s.bitrate) + " kbit/s (" +
                                                     std::to_string(s.minBitrate) + ".." +
                                                     std::to_string(s.maxBitrate) + ")"
                                               : "quality " + std::to_string(s.quality);
        throw ComponentError(FileErrorText("create", path,
                                           "Ogg Vorbis at " + std::to_string(s.sampleRate) +
                                               " Hz, " + std::to_string(s.channels) +
                                               " channels, " + what + " is not supported"));
    }
    vorbis_comment_init(&st->vc);
    st->commentInit = true;
    vorbis_analysis_init(&st->vd, &st->vi);
    st->dspInit = true;
    vorbis_block_init(&st->vd, &st->vb);
    st->blockInit = true;
    // Stream serial numbers only need to differ between chained streams; any value serves.
    ogg_stream_init(&st->os, static_cast<int>(std::time(nullptr) & 0x7fffffff));
    st->streamInit = true;

    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&st->vd, &st->vc, &header, &comments, &codebooks);
    // The comment packet carries room for the tags: the same fields libvorbis writes (its
    // vendor string, no comments yet) followed by zeros up to a fixed size. Alone on its pages,
    // it can later be rewritten in place without touching a page of audio; its pages are laid
    // out so that such a rewrite cut off anywhere leaves whole pages (oggcommentpages.h).
    std::string vendor;
    bool onlyOurs = false;
    std::vector<std::uint8_t> room;
    if (ParseVorbisComment(
            std::vector<std::uint8_t>(comments.packet, comments.packet + comments.bytes), vendor,
            onlyOurs))
        room = RenderVorbisComment(vendor, TagValues{}, VorbisCommentRoomBytes());
    if (!room.empty()) {
        comments.packet = room.data();
        comments.bytes = static_cast<long>(room.size());
    }
    st_ = std::move(st);
    sink_.Create(path);
    ogg_stream_packetin(&st_->os, &header);
    WritePages(true);
    const std::vector<int> segments =
        room.empty() ? std::vector<int>{} : CommentPageSegments(sink_.Position(), room.size());
    if (!segments.empty()) {
        const std::vector<std::uint8_t> pages =
            RenderCommentPages(room, segments, static_cast<std::uint32_t>(st_->os.serialno),
                               static_cast<std::uint32_t>(st_->os.pageno));
        sink_.Write(pages.data(), pages.size());
        st_->os.pageno += static_cast<long>(segments.size());
        ++st_->os.packetno;
    } else {
        ogg_stream_packetin(&st_->os, &comments);
        WritePages(true);
    }
    ogg_stream_packetin(&st_->os, &codebooks);
    WritePages(true);
}

void OggEncoder::WritePages(bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&st_->os, &page) : ogg_stream_pageout(&st_->os, &page)) {
        sink_.Write(page.header, static_cast<std::size_t>(page.header_len));
        sink_.Write(page.body, static_cast<std::size_t>(page.body_len));
    }
}

void OggEncoder::Drain() {
    ogg_packet packet;
    while (vorbis_analysis_blockout(&st_->vd, &st_->vb) == 1) {
        vorbis_analysis(&st_->vb, nullptr);
        vorbis_bitrate_addblock(&st_->vb);
        while (vorbis_bitrate_flushpacket(&st_->vd, &packet))
            ogg_stream_packetin(&st_->os, &packet);
    }
}

void OggEncoder::Write(const std::uint8_t* pcm, std::size_t frames) {
    if (!st_ || sink_.Failed())
        throw ComponentError(FileErrorText("write", sink_.Path(), "the file is not open"));
    // Small steps keep libvorbis' analysis buffer in cache.
    const std::size_t chunk = 1024;
    while (frames > 0) {
        const std::size_t n = std::min(frames, chunk);
        float** planes = vorbis_analysis_buffer(&st_->vd, static_cast<int>(n));
        S16ToFloatPlanes(pcm, n, input_.channels, planes);
        vorbis_analysis_wrote(&st_->vd, static_cast<int>(n));
        Drain();
        pcm += n * input_.channels * 2;
        frames -= n;
    }
    WritePages(true);
}

void OggEncoder::Close() {
    if (!sink_.IsOpen()) {
        st_.reset();
        return;
    }
    if (sink_.Failed() || !st_) {
        sink_.Abandon();
        st_.reset();
        return;
    }
    try {
        vorbis_analysis_wrote(&st_->vd, 0);
        Drain();
        WritePages(true);
        sink_.Close();
    } catch (...) {
        sink_.Abandon();
        st_.reset();
        throw;
    }
    st_.reset();
}
