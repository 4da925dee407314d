// The camera's privacy masks: each mask number has an area (the camera's
// coordinate text) and a displayed flag.
//
//   generation 6 and 7: "inq=masking", set through "/command/masking.cgi?"
//   below 6:            "inq=fcb",     set through "/command/camera.cgi?"
//
// The inquiry answers "PrivacyMaxNum=N", then the areas, as rectangles in one
// list "PrivacyMaskPosition=n,x,y,w,h,n,x,y,w,h,..." or as polygons
// "PrivacyMaskVertex<n>=x1,y1,...,x4,y4", then the displayed mask numbers in
// "PrivacyDisplay" (one list) or "PrivacyMonitor" (switched one by one).
// Commands:
//   PrivacyMaskPosition=n,x,y,w,h (rectangles)  PrivacyMaskVertex<n>=x1,y1,...,x4,y4 (polygons)
//   PrivacyDispEach=n,on|off                    PrivacyDisplay=n,n,... (the whole list; may be empty)
// A mask number outside 1..N, an area of the model's other shape or any value
// that is not decimal numbers is ignored, as the camera ignores what it cannot take.
// /camsim/state gains "masks": {"1": {"area": "...", "displayed": true}, ...}.
#pragma once

#include "CameraState.h"
#include "TestHooks.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camsim {

class PrivacyMasks : public InquiryGroupSource, public TestHookProvider {
public:
    PrivacyMasks(const PrivacySpec& spec, uint32_t generation);

    std::string GroupName() const override;
    std::string Items() const override;
    bool TakeCommand(CameraState::Cgi cgi, const std::string& key, const std::string& value) override;

    void AppendState(std::vector<std::string>& members) const override;
    std::optional<std::string> CheckControl(std::string_view, std::string_view) const override { return std::nullopt; }
    void ApplyControl(std::string_view, std::string_view) override {}

private:
    struct Mask {
        std::string area;
        bool displayed = false;
    };

    std::string Areas() const;
    std::string DisplayedList() const;
    Mask* Find(std::string_view number);
    void SetPositions(const std::string& value);
    void SetVertices(std::string_view number, const std::string& value);
    void SetDisplayedEach(const std::string& value);
    void SetDisplayList(const std::string& value);

    const PrivacySpec m_spec;
    const CameraState::Cgi m_cgi;
    mutable std::mutex m_mutex;
    std::map<uint32_t, Mask> m_masks;
};

} // namespace camsim
