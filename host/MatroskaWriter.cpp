#include "MatroskaWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>

namespace fennwick_host {
namespace {

constexpr AVRational kMillisecondTimeBase = {1, 1000};
constexpr uint64_t kFileTimeUnitsPerMillisecond = 10000;

std::string AvError(const char* what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return std::string(what) + ": " + text;
}

AVCodecID CodecId(VideoCodec codec) {
    switch (codec) {
    case VideoCodec::H264:
        return AV_CODEC_ID_H264;
    case VideoCodec::Mpeg4:
        return AV_CODEC_ID_MPEG4;
    case VideoCodec::Jpeg:
        return AV_CODEC_ID_MJPEG;
    }
    return AV_CODEC_ID_NONE;
}

std::optional<std::string> DescribeTrack(AVStream& stream, const VideoTrackFormat& format) {
    stream.time_base = kMillisecondTimeBase;
    AVCodecParameters& parameters = *stream.codecpar;
    parameters.codec_type = AVMEDIA_TYPE_VIDEO;
    parameters.codec_id = CodecId(format.codec);
    parameters.width = format.width;
    parameters.height = format.height;
    if (format.extradata.empty())
        return std::nullopt;
    // libavformat frees extradata with av_free; it must carry the input padding.
    auto* extradata = static_cast<uint8_t*>(av_mallocz(format.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!extradata)
        return std::string("out of memory for the codec configuration");
    std::memcpy(extradata, format.extradata.data(), format.extradata.size());
    parameters.extradata = extradata;
    parameters.extradata_size = int(format.extradata.size());
    return std::nullopt;
}

constexpr int kAudioSampleRate = 8000;
constexpr int kAudioStreamIndex = 1;

void DescribeAudioTrack(AVStream& stream, const AudioTrackFormat& format) {
    stream.time_base = kMillisecondTimeBase;
    AVCodecParameters& parameters = *stream.codecpar;
    parameters.codec_type = AVMEDIA_TYPE_AUDIO;
    parameters.codec_id = format.codec == AudioCodec::MuLaw  ? AV_CODEC_ID_PCM_MULAW
                          : format.codec == AudioCodec::ALaw ? AV_CODEC_ID_PCM_ALAW
                                                             : AV_CODEC_ID_ADPCM_G726;
    parameters.sample_rate = kAudioSampleRate;
    av_channel_layout_default(&parameters.ch_layout, 1);
    parameters.bit_rate = format.bitRate;
    parameters.bits_per_coded_sample = int(format.bitRate / kAudioSampleRate);
}

} // namespace

MatroskaWriter::MatroskaWriter(AVFormatContext* context) : m_context(context), m_pending(av_packet_alloc()) {}

std::unique_ptr<MatroskaWriter> MatroskaWriter::Create(const std::string& path, const VideoTrackFormat& format,
                                                       std::string& error,
                                                       const std::optional<AudioTrackFormat>& audio) {
    AVFormatContext* context = nullptr;
    int result = avformat_alloc_output_context2(&context, nullptr, "matroska", path.c_str());
    if (result < 0 || !context) {
        error = AvError("cannot set up the Matroska muxer", result);
        return nullptr;
    }
    std::unique_ptr<MatroskaWriter> writer(new MatroskaWriter(context));
    if (!writer->m_pending) {
        error = "out of memory for a packet";
        return nullptr;
    }
    AVStream* stream = avformat_new_stream(context, nullptr);
    if (!stream) {
        error = "cannot add a video track";
        return nullptr;
    }
    if (auto failure = DescribeTrack(*stream, format)) {
        error = *failure;
        return nullptr;
    }
    if (audio) {
        AVStream* audioStream = avformat_new_stream(context, nullptr);
        if (!audioStream || audio->codec == AudioCodec::Aac || audio->bitRate < kAudioSampleRate) {
            error = "cannot add an audio track";
            return nullptr;
        }
        DescribeAudioTrack(*audioStream, *audio);
        writer->m_audioBytesPerSecond = audio->bitRate / 8;
    }
    if ((result = avio_open(&context->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
        error = AvError(("cannot create " + path).c_str(), result);
        return nullptr;
    }
    if ((result = avformat_write_header(context, nullptr)) < 0) {
        error = AvError(("cannot write the header of " + path).c_str(), result);
        return nullptr;
    }
    writer->m_headerWritten = true;
    return writer;
}

MatroskaWriter::~MatroskaWriter() {
    Finish();
    Close();
}

void MatroskaWriter::Close() {
    if (m_context) {
        if (m_context->pb)
            avio_closep(&m_context->pb);
        avformat_free_context(m_context);
        m_context = nullptr;
    }
    av_packet_free(&m_pending);
}

std::optional<std::string> MatroskaWriter::WriteFrame(std::span<const uint8_t> data, bool isKey, uint64_t fileTime) {
    if (m_finished || !m_headerWritten)
        return std::string("the file is not open");
    bool isFirst = m_framesWritten == 0 && !m_hasPending;
    if (m_originTime == 0)
        m_originTime = fileTime;
    int64_t timeMs = Milliseconds(fileTime);
    if (!isFirst)
        timeMs = std::max(timeMs, m_lastMs + 1);
    if (m_hasPending)
        if (auto error = WritePending(timeMs - m_lastMs))
            return error;
    int result = av_new_packet(m_pending, int(data.size()));
    if (result < 0)
        return AvError("cannot hold a frame", result);
    if (!data.empty())
        std::memcpy(m_pending->data, data.data(), data.size());
    m_pending->pts = timeMs;
    m_pending->dts = timeMs;
    m_pending->stream_index = 0;
    m_pending->flags = isKey ? AV_PKT_FLAG_KEY : 0;
    m_hasPending = true;
    m_lastMs = timeMs;
    return std::nullopt;
}

int64_t MatroskaWriter::Milliseconds(uint64_t fileTime) const {
    return fileTime > m_originTime ? int64_t((fileTime - m_originTime) / kFileTimeUnitsPerMillisecond) : 0;
}

std::optional<std::string> MatroskaWriter::WriteAudio(std::span<const uint8_t> data, uint64_t fileTime) {
    if (m_finished || !m_headerWritten || m_audioBytesPerSecond == 0)
        return std::string("the file has no audio track");
    if (m_originTime == 0)
        m_originTime = fileTime;
    const int64_t timeMs = std::max(Milliseconds(fileTime), m_audioEndMs);
    AVPacket* packet = av_packet_alloc();
    if (!packet || av_new_packet(packet, int(data.size())) < 0) {
        av_packet_free(&packet);
        return std::string("cannot hold an audio frame");
    }
    if (!data.empty())
        std::memcpy(packet->data, data.data(), data.size());
    packet->pts = timeMs;
    packet->dts = timeMs;
    packet->duration = int64_t(data.size()) * 1000 / m_audioBytesPerSecond;
    packet->stream_index = kAudioStreamIndex;
    packet->flags = AV_PKT_FLAG_KEY;
    m_audioEndMs = timeMs + packet->duration;
    av_packet_rescale_ts(packet, kMillisecondTimeBase, m_context->streams[kAudioStreamIndex]->time_base);
    const int result = av_interleaved_write_frame(m_context, packet);
    av_packet_free(&packet);
    if (result < 0)
        return AvError("cannot write an audio frame", result);
    ++m_audioFramesWritten;
    return std::nullopt;
}

std::optional<std::string> MatroskaWriter::WritePending(int64_t durationMs) {
    m_hasPending = false;
    m_pending->duration = durationMs;
    m_lastDurationMs = durationMs;
    av_packet_rescale_ts(m_pending, kMillisecondTimeBase, m_context->streams[0]->time_base);
    // Interleaved: audio frames may come later than video frames of the same time.
    int result = av_interleaved_write_frame(m_context, m_pending);
    av_packet_unref(m_pending);
    if (result < 0)
        return AvError("cannot write a frame", result);
    ++m_framesWritten;
    return std::nullopt;
}

std::optional<std::string> MatroskaWriter::Finish() {
    if (m_finished || !m_headerWritten)
        return std::nullopt;
    m_finished = true;
    std::optional<std::string> error;
    // The last frame lasts as long as the one before it.
    if (m_hasPending)
        error = WritePending(m_lastDurationMs);
    int result = av_write_trailer(m_context);
    if (result < 0 && !error)
        error = AvError("cannot finish the file", result);
    result = avio_closep(&m_context->pb);
    if (result < 0 && !error)
        error = AvError("cannot close the file", result);
    return error;
}

} // namespace fennwick_host
