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

} // namespace

MatroskaWriter::MatroskaWriter(AVFormatContext* context) : m_context(context), m_pending(av_packet_alloc()) {}

std::unique_ptr<MatroskaWriter> MatroskaWriter::Create(const std::string& path, const VideoTrackFormat& format,
                                                       std::string& error) {
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
    if (isFirst)
        m_originTime = fileTime;
    int64_t timeMs = fileTime > m_originTime ? int64_t((fileTime - m_originTime) / kFileTimeUnitsPerMillisecond) : 0;
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

std::optional<std::string> MatroskaWriter::WritePending(int64_t durationMs) {
    m_hasPending = false;
    m_pending->duration = durationMs;
    m_lastDurationMs = durationMs;
    av_packet_rescale_ts(m_pending, kMillisecondTimeBase, m_context->streams[0]->time_base);
    int result = av_write_frame(m_context, m_pending);
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
