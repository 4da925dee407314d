#include "IoEventPrinter.h"

#include <string>

namespace fennwick_host {
namespace {

std::string Describe(uint32_t index, uint32_t state) {
    const char* name = state == kIoStateOn ? "on" : state == kIoStateOff ? "off" : "unknown";
    return std::to_string(uint64_t(index) + 1) + " " + name;
}

} // namespace

void IoEventPrinter::OnInputChanged(uint32_t inputIndex, uint32_t state) {
    m_lines.Record("input", Describe(inputIndex, state));
}

void IoEventPrinter::OnFailure() {
    ++m_failures;
    m_lines.Record("io", "failure");
}

void IoEventPrinter::PrintOutput(uint32_t outputIndex, uint32_t state) {
    m_lines.Record("output", Describe(outputIndex, state));
}

} // namespace fennwick_host
