#include "AudioTranscoding.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <memory>

namespace fennwick_host {
namespace {

// Samples handed to an encoder that takes frames of any size: 20 ms.
constexpr int kPcmFrameSamples = 160;

std::string AvError(const std::string& what, int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return what + ": " + text;
}

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using Frame = std::unique_ptr<AVFrame, FrameFreer>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;

// Appends what the resampler gives for frame (null: what it still holds).
void Resample(SwrContext& resampler, const AVFrame* frame, std::vector<int16_t>& samples) {
    const int inputSamples = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(&resampler, inputSamples);
    if (room <= 0)
        return;
    const size_t start = samples.size();
    samples.resize(start + size_t(room));
    auto* output = reinterpret_cast<uint8_t*>(samples.data() + start);
    const int made = swr_convert(&resampler, &output, room, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                                 inputSamples);
    samples.resize(start + size_t(std::max(made, 0)));
}

// Decodes whatever the decoder gives now into samples.
void Drain(AVCodecContext& decoder, SwrContext& resampler, AVFrame& frame, std::vector<int16_t>& samples) {
    while (avcodec_receive_frame(&decoder, &frame) == 0) {
        Resample(resampler, &frame, samples);
        av_frame_unref(&frame);
    }
}

// The encoder of codec, opened for 8 kHz mono; null and the error text when it cannot be.
CodecContext OpenEncoder(AudioCodec codec, uint32_t bitRate, std::string& error) {
    const AVCodecID id = codec == AudioCodec::MuLaw  ? AV_CODEC_ID_PCM_MULAW
                         : codec == AudioCodec::ALaw ? AV_CODEC_ID_PCM_ALAW
                         : codec == AudioCodec::G726 ? AV_CODEC_ID_ADPCM_G726
                                                     : AV_CODEC_ID_NONE;
    const AVCodec* encoder = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(id);
    CodecContext context(encoder ? avcodec_alloc_context3(encoder) : nullptr);
    if (!context) {
        error = "no encoder for " + std::string(AudioCodecName(codec));
        return nullptr;
    }
    context->sample_fmt = AV_SAMPLE_FMT_S16;
    context->sample_rate = int(kSpeakSampleRate);
    av_channel_layout_default(&context->ch_layout, 1);
    context->bit_rate = bitRate;
    if (const int result = avcodec_open2(context.get(), encoder, nullptr); result < 0) {
        error = AvError("cannot encode " + std::string(AudioCodecName(codec)) + " at " + std::to_string(bitRate) + " bit/s",
                        result);
        return nullptr;
    }
    return context;
}

} // namespace

std::optional<std::vector<int16_t>> DecodeAudioFile(const std::string& path, uint32_t maxSeconds, std::string& error) {
    AVFormatContext* opened = nullptr;
    if (const int result = avformat_open_input(&opened, path.c_str(), nullptr, nullptr); result < 0) {
        error = AvError("cannot open " + path, result);
        return std::nullopt;
    }
    std::unique_ptr<AVFormatContext, InputCloser> input(opened);
    const AVCodec* codec = nullptr;
    const int stream = avformat_find_stream_info(input.get(), nullptr) < 0
                           ? -1
                           : av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    CodecContext decoder(stream >= 0 ? avcodec_alloc_context3(codec) : nullptr);
    if (!decoder || avcodec_parameters_to_context(decoder.get(), input->streams[stream]->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        error = path + " holds no audio that FFmpeg decodes";
        return std::nullopt;
    }
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    SwrContext* made = nullptr;
    if (swr_alloc_set_opts2(&made, &mono, AV_SAMPLE_FMT_S16, int(kSpeakSampleRate), &decoder->ch_layout,
                            decoder->sample_fmt, decoder->sample_rate, 0, nullptr) < 0 ||
        swr_init(made) < 0) {
        swr_free(&made);
        error = "cannot resample " + path + " to 8 kHz mono";
        return std::nullopt;
    }
    std::unique_ptr<SwrContext, ResamplerFreer> resampler(made);
    const size_t limit = size_t(maxSeconds == 0 ? kMaxSpeakSeconds : std::min(maxSeconds, kMaxSpeakSeconds)) *
                         kSpeakSampleRate;
    std::vector<int16_t> samples;
    Frame frame(av_frame_alloc());
    Packet packet(av_packet_alloc());
    while (samples.size() < limit && av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(decoder.get(), packet.get()) >= 0)
            Drain(*decoder, *resampler, *frame, samples);
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    Drain(*decoder, *resampler, *frame, samples);
    Resample(*resampler, nullptr, samples);
    samples.resize(std::min(samples.size(), limit));
    if (samples.empty()) {
        error = path + " holds no audio samples";
        return std::nullopt;
    }
    return samples;
}

std::optional<std::vector<uint8_t>> EncodeAudio(const std::vector<int16_t>& samples, AudioCodec codec,
                                                uint32_t bitRate, std::string& error) {
    CodecContext encoder = OpenEncoder(codec, bitRate, error);
    if (!encoder)
        return std::nullopt;
    const int frameSamples = encoder->frame_size > 0 ? encoder->frame_size : kPcmFrameSamples;
    Frame frame(av_frame_alloc());
    Packet packet(av_packet_alloc());
    std::vector<uint8_t> encoded;
    auto collect = [&] {
        while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
            encoded.insert(encoded.end(), packet->data, packet->data + packet->size);
            av_packet_unref(packet.get());
        }
    };
    for (size_t offset = 0; offset < samples.size(); offset += size_t(frameSamples)) {
        frame->nb_samples = frameSamples;
        frame->format = AV_SAMPLE_FMT_S16;
        frame->sample_rate = int(kSpeakSampleRate);
        av_channel_layout_default(&frame->ch_layout, 1);
        if (av_frame_get_buffer(frame.get(), 0) < 0) {
            error = "out of memory for an audio frame";
            return std::nullopt;
        }
        const size_t count = std::min(samples.size() - offset, size_t(frameSamples));
        auto* data = reinterpret_cast<int16_t*>(frame->data[0]);
        std::copy_n(samples.begin() + std::ptrdiff_t(offset), count, data);
        std::fill(data + count, data + frameSamples, int16_t(0));
        const int result = avcodec_send_frame(encoder.get(), frame.get());
        av_frame_unref(frame.get());
        if (result < 0) {
            error = AvError("cannot encode", result);
            return std::nullopt;
        }
        collect();
    }
    avcodec_send_frame(encoder.get(), nullptr);
    collect();
    return encoded;
}

} // namespace fennwick_host
