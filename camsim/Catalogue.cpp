#include "Catalogue.h"

namespace camsim {

namespace {

// Generation 1: one JPEG stream, "sysinfo" only, no CGI version.
ModelSpec SncZ20() {
    return {"SNC-Z20N", 1,
            {{"sysinfo", "ModelName=SNC-Z20N&SoftVersion=1.12&Serial=1000101&AlarmData=off"},
             {"camera", "ImageSize=640&JpFrameRate=8&JpQuality=5&Color=color&ZoomFunc=1&PanTiltFunc=0"}},
            {{"ImageSize", {"736", "640", "320", "160"}}}};
}

// Generation 2: JPEG and MPEG-4 under one "ImageSize", pan/tilt/zoom, presets.
ModelSpec SncRz25() {
    return {"SNC-RZ25N", 2,
            {{"system", "ModelName=SNC-RZ25N&SoftVersion=2.20&CGIVersion=1.10&Serial=2000201&AlarmData=off"},
             {"camera", "ImageSize=640,2&ImageCodec=jpeg&JpQuality=5&JpFrameRate=15&M4BitRate=1024&M4FrameRate=15"
                        "&M4AutoRateCtrl=off&M4IFrameInterval=1&Color=color&Multicast=off&RtpExpire=10000"
                        "&PanTiltFunc=1&ZoomFunc=1&PrivacyMaskingFunc=1"},
             {"presetposition", "PresetName=1,Home,2,Door"}},
            {{"ImageSize", {"640,2", "480,2", "384,2", "320,2", "160,2"}}}};
}

// Generation 3: separate JPEG and MPEG-4 keys; PAL by the model's last letter.
ModelSpec SncDf50() {
    return {"SNC-DF50P", 3,
            {{"system", "ModelName=SNC-DF50P&SoftVersion=1.40&CGIVersion=1.21&Serial=3000301&AlarmData=off"},
             {"camera", "ImageCodec=jpeg&JpImageSize=640&JpFrameRate=25&JpQuality=5&M4ImageSize=640,2"
                        "&M4FrameRate=25&M4BitRate=1024&M4AutoRateCtrl=off&M4IFrameInterval=1&Color=color"
                        "&Multicast=off&RtpExpire=10000&PrivacyMaskingFunc=1"}},
            {{"JpImageSize", {"640", "384", "320", "160"}}}};
}

// Generation 4: JPEG, MPEG-4 and H.264 keys, video output mode, light funnel.
ModelSpec SncRh124() {
    return {"SNC-RH124", 4,
            {{"system", "ModelName=SNC-RH124&SoftVersion=1.50&CGIVersion=1.30&Serial=4000401&VideoOutMode=analog"
                        "&AlarmData=off"},
             {"camera", "ImageCodec=h264&JpImageSize=1280&JpFrameRate=30&JpQuality=5&M4ImageSize=640"
                        "&M4FrameRate=30&M4BitRate=1024&M4AutoRateCtrl=off&M4IFrameInterval=1"
                        "&H264ImageSize=1280&H264FrameRate=30&H264BitRate=1024&H264AutoRateCtrl=off"
                        "&H264IFrameInterval=1&VideoStd=ntsc&LFunnelAvailable=1&LightFunnelMode=off"
                        "&Color=color&Multicast=off&RtpExpire=10000&PanTiltFunc=1&ZoomFunc=1"
                        "&PrivacyMaskingFunc=1"},
             {"presetposition", "PresetName=1,Gate"}},
            {{"H264ImageSize", {"1280", "640", "320"}}}};
}

// Audio input as the cameras keep it: switched, source, volume and codec
// ("g711a_64" is camsim's own name for A-law). From generation 6 the input
// and output start switched off; drivers switch them on.
#define GEN6_AUDIO_KEYS "&AudioIn=off&MicLineSelect=mic&AudioInVolume=0&AudInCodec=g711_64"
const AllowedValuesSpec AUDIO_IN_CODECS{
    "AudInCodec", {"g711_64", "g711a_64", "g726_40", "g726_32", "g726_24", "g726_16", "aac16_64"}};
const AllowedValuesSpec MIC_LINE_SELECT{"MicLineSelect", {"mic", "line"}};

AllowedValuesSpec ON_OFF(std::string key) {
    return {std::move(key), {"on", "off"}};
}

// Generation 5 (CGI 2.x): numbered streams, "AudioIn"/"AudioOut", edge storage.
ModelSpec SncCh210() {
    return {"SNC-CH210", 5,
            {{"system", "ModelName=SNC-CH210&SoftVersion=1.82&CGIVersion=2.10&Serial=5000501&AlarmData=off"
                        "&EdgeStorageFunc=1"},
             {"camera", "ImageCodecMaxNum=3&ImageCodec1=h264&ImageSize1=1920,1080&FrameRate1=30&BitRate1=4096"
                        "&AutoRateCtrl1=off&IFrameInterval1=1&Quality1=5&Bandwidth1=0.0"
                        "&ImageCodec2=jpeg&ImageSize2=640,480&FrameRate2=15&BitRate2=1024&AutoRateCtrl2=off"
                        "&IFrameInterval2=1&Quality2=5&Bandwidth2=0.0&ImageCodec3=off&ImageSize3=320,240"
                        "&FrameRate3=8&BitRate3=512&AutoRateCtrl3=off&IFrameInterval3=1&Quality3=5"
                        "&Bandwidth3=0.0&ImageMaxSize=2048,1536&VideoStd=ntsc&RTSPPort=554&RTSPTimeout=30"
                        "&LFunnelAvailable=0&Color=color&Multicast=off&RtpExpire=10000&AudioIn=on"
                        "&MicLineSelect=mic&AudioInVolume=0&AudInCodec=g711_64&AudioOut=on&AudioOutVolume=0"
                        "&PrivacyMaskingFunc=1"}},
            {{"ImageSize1", {"2048,1536", "1920,1080", "1600,1200", "1280,720", "640,480", "320,240"}},
             {"ImageSize2", {"1280,720", "640,480", "320,240"}},
             {"ImageSize3", {"640,480", "320,240"}}, AUDIO_IN_CODECS, MIC_LINE_SELECT}};
}

// Generation 5 video server: numbered streams, no audio keys, no PTZ.
ModelSpec SntEx104() {
    return {"SNT-EX104", 5,
            {{"system", "ModelName=SNT-EX104&SoftVersion=1.30&CGIVersion=2.30&Serial=5100501&AlarmData=off"
                        "&EdgeStorageFunc=0"},
             {"camera", "ImageCodecMaxNum=2&ImageCodec1=h264&ImageSize1=720,480&FrameRate1=30&BitRate1=2048"
                        "&AutoRateCtrl1=off&IFrameInterval1=1&Quality1=5&ImageCodec2=jpeg&ImageSize2=640,480"
                        "&FrameRate2=15&BitRate2=1024&AutoRateCtrl2=off&IFrameInterval2=1&Quality2=5"
                        "&ImageMaxSize=720,480&VideoStd=ntsc&RTSPPort=554&RTSPTimeout=30&Color=color"
                        "&Multicast=off&RtpExpire=10000&PrivacyMaskingFunc=0"}},
            {{"ImageSize1", {"720,480", "640,480", "352,240"}}, {"ImageSize2", {"640,480", "352,240"}}}};
}

// Generation 6 (CGI 6.x): "AudioInFunc"/"AudioOutFunc", masking inquiry.
ModelSpec SncVb630() {
    return {"SNC-VB630", 6,
            {{"system", "ModelName=SNC-VB630&SoftVersion=1.10&CGIVersion=6.00&Serial=6000601&AlarmData=off"
                        "&EdgeStorageFunc=1&NtpService=off"},
             {"camera", "ImageCodecMaxNum=3&ImageCodec1=h264&ImageSize1=1920,1080&FrameRate1=30&CBR1=off"
                        "&H264Quality1=5&IFrameInterval1=1&BitRate1=4000&ImageCodec2=jpeg&ImageSize2=640,360"
                        "&FrameRate2=15&Quality2=5&JpBandWidth2=0&ImageCodec3=off&ImageMaxSize=1920,1080"
                        "&VideoStd=ntsc&RTSPPort=554&RTSPTimeout=30&LightFunnelMode=off&Color=color"
                        "&Multicast=off&RtpExpire=10000&AudioInFunc=1&AudioOutFunc=1"
                        "&AudioOutSupportedCodec=g711_64/g726_40/g726_32/g726_24/g726_16" GEN6_AUDIO_KEYS
                        "&AudioOut=off&AudioOutVolume=0&PrivacyMaskingFunc=1"}},
            {AUDIO_IN_CODECS, MIC_LINE_SELECT, ON_OFF("AudioIn"), ON_OFF("AudioOut")}};
}

// Generation 6 with a solid PTZ block.
ModelSpec SncWr630() {
    return {"SNC-WR630", 6,
            {{"system", "ModelName=SNC-WR630&SoftVersion=1.20&CGIVersion=6.10&Serial=6100601&AlarmData=off"
                        "&EdgeStorageFunc=1"},
             {"camera", "ImageCodecMaxNum=3&ImageCodec1=h264&ImageSize1=1920,1080&FrameRate1=30&CBR1=off"
                        "&H264Quality1=5&IFrameInterval1=1&ImageCodec2=off&ImageCodec3=off"
                        "&ImageMaxSize=1920,1080&VideoStd=pal&RTSPPort=554&RTSPTimeout=30&Color=color"
                        "&Multicast=off&RtpExpire=10000&SolidPTZFunc=1&SolidPTZ=on&PanTiltFunc=1&ZoomFunc=1"
                        "&AudioInFunc=1&AudioOutFunc=0" GEN6_AUDIO_KEYS "&PrivacyMaskingFunc=1"},
             {"presetposition", "PresetName=1,Lobby,2,Exit"}},
            {AUDIO_IN_CODECS, MIC_LINE_SELECT, ON_OFF("AudioIn")}};
}

// Generation 7 (CGI 7.x): operation mode, AAC output, polygon masks.
ModelSpec SncVb770() {
    return {"SNC-VB770", 7,
            {{"system", "ModelName=SNC-VB770&SoftVersion=2.00&CGIVersion=7.00&Serial=7000701&AlarmData=off"
                        "&EdgeStorageFunc=1&NtpService=off"},
             {"camera", "ImageCodecMaxNum=3&ImageCodec1=h264&ImageSize1=3840,2160&FrameRate1=30&CBR1=off"
                        "&BitRate1=8000&IFrameInterval1=1&H264BFrameEnable=on&ImageCodec2=jpeg"
                        "&ImageSize2=1280,720&FrameRate2=15&JpegQuality2=5&ImageCodec3=off"
                        "&ImageMaxSize=3840,2160&VideoStd=ntsc&OperationMode=normal&RTSPPort=554"
                        "&RTSPTimeout=30&Color=color&Multicast=off&RtpExpire=10000&AudioInFunc=1"
                        "&AudioOutFunc=1&AudioOutSupportedCodec=g711_64/aac16_64" GEN6_AUDIO_KEYS
                        "&AudioOut=off&AudioOutVolume=0&PrivacyMaskingFunc=1"}},
            {{"OperationMode", {"normal", "fullsize"}}, AUDIO_IN_CODECS, MIC_LINE_SELECT, ON_OFF("AudioIn"),
             ON_OFF("AudioOut")}};
}

struct AlarmIoRow {
    std::string_view model;
    AlarmIoSpec io;
};

// Alarm inputs and outputs per model family. The key style follows the CGI
// generation: the first cameras had one sensor and one relay with unnumbered
// keys and an on/off manual switch; the generation 2 PTZ cameras numbered them
// (a PTZ head may carry more I/O); from generation 3 a mode key ("alarm",
// "manual", "timer") replaces the switch, the fixed domes keeping unnumbered
// keys; the video server has an I/O block of four sensors and two relays;
// generation 6 and 7 (CGI 6.x/7.x) name the outputs by suffix and switch them
// through trigger.cgi, the PTZ and 4K models with two inputs.
const AlarmIoRow kAlarmIoTable[] = {
    {"SNC-Z20N", {AlarmOutStyle::Single, true, true, 1, 1}},
    {"SNC-RZ25N", {AlarmOutStyle::Numbered, true, false, 1, 1}},
    {"SNC-DF50P", {AlarmOutStyle::Single, false, true, 1, 1}},
    {"SNC-RH124", {AlarmOutStyle::Numbered, false, false, 1, 1}},
    {"SNC-CH210", {AlarmOutStyle::Numbered, false, false, 1, 1}},
    {"SNT-EX104", {AlarmOutStyle::Numbered, false, false, 4, 2}},
    {"SNC-VB630", {AlarmOutStyle::Suffixed, false, false, 1, 1}},
    {"SNC-WR630", {AlarmOutStyle::Suffixed, false, false, 2, 1}},
    {"SNC-VB770", {AlarmOutStyle::Suffixed, false, false, 2, 2}},
};

ModelSpec WithAlarmIo(ModelSpec model) {
    for (const AlarmIoRow& row : kAlarmIoTable)
        if (row.model == model.name)
            model.alarmIo = row.io;
    return model;
}

struct PtzRow {
    std::string_view model;
    PtzSpec ptz;
};

// The PTZ models: those whose inquiry answers above report "PanTiltFunc=1" or
// "ZoomFunc=1" (the SNC-Z20 is a zoom camera without a head: generation 1,
// driven by VISCA). Each starts with the presets of its "presetposition"
// group. The rest is camsim's assumption, made without a data sheet at hand
// (change a row when one says more): 16 presets on the older domes, the count
// hosts are usually told (Preset=16), and 256 on the generation 6 one, so a
// host's own limit is met before the camera's; pan all round but for a stop
// for the cable, tilt from straight down to a little above level, and 300
// degrees a second at the top speed, as domes of this class go.
const PtzRow kPtzTable[] = {
    {"SNC-Z20N", {false, true, 0, {}, {}, 0}},
    {"SNC-RZ25N", {true, true, 16, {-17000, 17000}, {-9000, 2500}, 30000}},
    {"SNC-RH124", {true, true, 16, {-17000, 17000}, {-9000, 2500}, 30000}},
    {"SNC-WR630", {true, true, 256, {-17000, 17000}, {-9000, 2000}, 30000}},
};

// Lens and exposure keys of camera.cgi that a PTZ model reports in inq=camera
// ("Iris" is the index 0 to 16 a manual exposure uses).
constexpr const char* kLensKeys = "&FocusMode=auto&ExpMode=full&Iris=8";

ModelSpec WithPtz(ModelSpec model) {
    for (const PtzRow& row : kPtzTable) {
        if (row.model != model.name)
            continue;
        model.ptz = row.ptz;
        for (InquiryGroupSpec& group : model.groups)
            if (group.name == "camera")
                group.items += kLensKeys;
        std::vector<std::string> irisIndexes;
        for (int index = 0; index <= 16; ++index)
            irisIndexes.push_back(std::to_string(index));
        model.allowed.push_back({"FocusMode", {"auto", "manual"}});
        model.allowed.push_back({"ExpMode", {"full", "manual"}});
        model.allowed.push_back({"Iris", irisIndexes});
    }
    return model;
}

struct PrivacyRow {
    std::string_view model;
    PrivacySpec privacy;
};

// The models whose camera group reports "PrivacyMaskingFunc=1". Below
// generation 6 the masks are rectangles switched one by one and listed in
// "PrivacyMonitor"; generation 6 lists the displayed ones in "PrivacyDisplay";
// generation 7 draws polygons. Eight masks each, and the factory masks below,
// are camsim's assumption; every mask is reported, drawn or not (an undrawn
// one as zeros), so a driver can address any of them.
const PrivacyRow kPrivacyTable[] = {
    {"SNC-RZ25N", {8, false, false, {{1, "10,10,40,30"}}, {1}}},
    {"SNC-DF50P", {8, false, false, {{1, "20,20,60,40"}}, {}}},
    {"SNC-RH124", {8, false, false, {}, {}}},
    {"SNC-CH210", {8, false, false, {}, {}}},
    {"SNC-VB630", {8, false, true, {{1, "100,100,200,150"}, {2, "400,300,80,60"}}, {1}}},
    {"SNC-WR630", {8, false, true, {}, {}}},
    {"SNC-VB770", {8, true, true, {{1, "100,100,300,100,300,200,100,200"}}, {1}}},
};

ModelSpec WithPrivacy(ModelSpec model) {
    for (const PrivacyRow& row : kPrivacyTable)
        if (row.model == model.name)
            model.privacy = row.privacy;
    return model;
}

ModelSpec Complete(ModelSpec model) {
    return WithPrivacy(WithPtz(WithAlarmIo(std::move(model))));
}

} // namespace

const std::vector<ModelSpec>& Catalogue() {
    static const std::vector<ModelSpec> models = {
        Complete(SncZ20()),   Complete(SncRz25()),  Complete(SncDf50()),
        Complete(SncRh124()), Complete(SncCh210()), Complete(SntEx104()),
        Complete(SncVb630()), Complete(SncWr630()), Complete(SncVb770())};
    return models;
}

const ModelSpec* FindModel(std::string_view name) {
    for (const ModelSpec& model : Catalogue())
        if (model.name == name)
            return &model;
    return nullptr;
}

} // namespace camsim
