#include "edgestorage/CSonyEdgeStorageTask.h"

#include "EdgeTimes.h"
#include "support/FakeDriver.h"
#include "support/RecordingHttpServer.h"
#include "video/CH264RTPMediaParser.h"
#include "video/CJpegRTPMediaParser.h"
#include "video/CMpeg4RTPMediaParser.h"

#include <gtest/gtest.h>

#include <string>

namespace talvex::test {
namespace {

class NoFramesUser : public IEdgeStorageTaskUser {
public:
    bool CaptureFrameCallback(uint32_t, ipcapture::IVideoFrame*) override { return true; }
};

struct PathCase {
    const char* name;
    uint32_t generation;
    const char* path;
};

class ReplayPath : public testing::TestWithParam<PathCase> {};

TEST_P(ReplayPath, NamesTheRecordingAsTheGenerationExpects) {
    EXPECT_EQ(CSonyEdgeStorageTask::ReplayPath(GetParam().generation, "rec-0-7"), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Generations, ReplayPath,
                         testing::Values(PathCase{"Fifth", 5, "/media/rec-0-7"},
                                         PathCase{"Sixth", 6, "/stream?name=rec-0-7"},
                                         PathCase{"Seventh", 7, "/stream?name=rec-0-7"}),
                         [](const testing::TestParamInfo<PathCase>& info) { return info.param.name; });

enum class Parser { None, Jpeg, H264, Mpeg4 };

struct EncodingCase {
    const char* name;
    const char* encoding;
    Parser parser;
};

class ReplayEncoding : public testing::TestWithParam<EncodingCase> {};

Parser KindOf(const CRTPMediaParser* parser) {
    if (dynamic_cast<const CH264RTPMediaParser*>(parser))
        return Parser::H264;
    if (dynamic_cast<const CMpeg4RTPMediaParser*>(parser))
        return Parser::Mpeg4;
    if (dynamic_cast<const CJpegRTPMediaParser*>(parser))
        return Parser::Jpeg;
    return Parser::None;
}

TEST_P(ReplayEncoding, ChoosesTheDepacketiserByTheEncodingName) {
    FakeDriver driver;
    NoFramesUser user;
    CSonyEdgeStorageTask task(user, &driver);
    EXPECT_EQ(KindOf(CBaseRTSPEdgeStorageTask::CreateMediaParser(GetParam().encoding, task).get()), GetParam().parser);
}

INSTANTIATE_TEST_SUITE_P(Encodings, ReplayEncoding,
                         testing::Values(EncodingCase{"Empty", "", Parser::Jpeg},
                                         EncodingCase{"Jpeg", "JPEG", Parser::Jpeg},
                                         EncodingCase{"JpegPrefixOnly", "JPEG2000", Parser::None},
                                         EncodingCase{"H264", "H264", Parser::H264},
                                         EncodingCase{"Mp4vEs", "MP4V-ES", Parser::Mpeg4},
                                         EncodingCase{"Mpeg4Generic", "mpeg4-generic", Parser::Mpeg4},
                                         EncodingCase{"H265", "H265", Parser::None}),
                         [](const testing::TestParamInfo<EncodingCase>& info) { return info.param.name; });

// A camera whose search answers with the given status and body.
class SearchCamera {
public:
    SearchCamera(uint32_t status, std::string body)
        : m_server([status, body](const RecordedRequest&) { return RecordedAnswer{status, body}; }) {
        m_driver.m_device.port = m_server.Port();
        m_driver.m_device.generation = 6;
    }
    std::vector<std::string> Targets() {
        std::vector<std::string> targets;
        for (const RecordedRequest& request : m_server.Requests())
            targets.push_back(request.target);
        return targets;
    }

    FakeDriver m_driver;
    NoFramesUser m_user;

private:
    RecordingHttpServer m_server;
};

TEST(SonyEdgeStorageTaskTest, SearchesFromThePointReachedToTheIntervalEnd) {
    SearchCamera camera(200, "Remain entry =0\r\n");
    CSonyEdgeStorageTask task(camera.m_user, &camera.m_driver);
    task.Start(0, At(10, 0, 0), At(10, 5, 0));
    uint64_t progress = At(10, 1, 30, 250);
    EXPECT_TRUE(task.Process(progress));
    EXPECT_EQ(camera.Targets(),
              std::vector<std::string>{"/command/search?mode=simple&Start=20261206T100130.250Z&End=20261206T100500.000Z"});
    EXPECT_TRUE(camera.m_driver.HasLine(2, "No Edge storage streams found"));
}

TEST(SonyEdgeStorageTaskTest, RecordingsOutsideTheRestOfTheIntervalAreNotReplayed) {
    SearchCamera camera(200, "StreamName=old,Start=20261206T095000.000Z,End=20261206T100100.000Z\r\n"
                             "StreamName=later,Start=20261206T100500.000Z,End=20261206T101000.000Z\r\n");
    CSonyEdgeStorageTask task(camera.m_user, &camera.m_driver);
    task.Start(0, At(10, 0, 0), At(10, 5, 0));
    uint64_t progress = At(10, 2, 0);
    EXPECT_TRUE(task.Process(progress));
    // Only the search: no replay asked for the camera's RTSP port.
    EXPECT_EQ(camera.Targets().size(), 1u);
    EXPECT_EQ(progress, At(10, 2, 0));
}

struct FailureCase {
    const char* name;
    uint32_t status;
    std::string body;
    const char* cause;
};

class SearchFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(SearchFailure, LeavesTheIntervalUndoneAndTellsTheCauseOnce) {
    SearchCamera camera(GetParam().status, GetParam().body);
    CSonyEdgeStorageTask task(camera.m_user, &camera.m_driver);
    task.Start(0, At(10, 0, 0), At(10, 5, 0));
    for (int pass = 0; pass < 2; ++pass) {
        uint64_t progress = At(10, 0, 0);
        EXPECT_FALSE(task.Process(progress));
    }
    EXPECT_EQ(camera.Targets().size(), 2u);
    EXPECT_EQ(CountLines(camera.m_driver, GetParam().cause), 1u);
    EXPECT_EQ(CountLines(camera.m_driver, "admin"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Answers, SearchFailure,
                         testing::Values(FailureCase{"NotFound", 404, "", "URL was not found"},
                                         FailureCase{"Unauthorized", 401, "", "credentials are invalid"},
                                         FailureCase{"ServerError", 500, "", "HTTP status code is 500"},
                                         FailureCase{"EmptyBody", 200, "", "Response is empty"}),
                         [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(SonyEdgeStorageTaskTest, AnAbortedTaskDoesNotSearch) {
    SearchCamera camera(200, "Remain entry =0\r\n");
    CSonyEdgeStorageTask task(camera.m_user, &camera.m_driver);
    task.Start(0, At(10, 0, 0), At(10, 5, 0));
    task.StopChannel(0);
    uint64_t progress = At(10, 0, 0);
    EXPECT_FALSE(task.Process(progress));
    EXPECT_TRUE(camera.Targets().empty());
}

} // namespace
} // namespace talvex::test
