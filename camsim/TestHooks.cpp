#include "TestHooks.h"

namespace camsim {

TestHooks::TestHooks(HttpServer& http) {
    http.AddRoute("/camsim/", [this](HttpExchange& exchange) {
        const std::string& path = exchange.Head().path;
        if (path == "/camsim/state")
            return AnswerState(exchange);
        if (path == "/camsim/control")
            return AnswerControl(exchange);
        exchange.SendResponse(404, "unknown test hook " + path + "\n", {{"Content-Type", "text/plain"}});
    });
}

void TestHooks::Add(TestHookProvider& provider) {
    std::lock_guard lock(m_mutex);
    m_providers.push_back(&provider);
}

void TestHooks::AnswerState(HttpExchange& exchange) const {
    std::vector<std::string> members;
    {
        std::lock_guard lock(m_mutex);
        for (const TestHookProvider* provider : m_providers)
            provider->AppendState(members);
    }
    std::string json = "{";
    for (const std::string& member : members)
        json += (json.size() > 1 ? ", " : "") + member;
    exchange.SendResponse(200, json + "}\n", {{"Content-Type", "application/json"}});
}

// Every item is checked before any is applied, so a bad request changes nothing.
void TestHooks::AnswerControl(HttpExchange& exchange) {
    KeyValueList items;
    for (const auto& [key, value] : SplitItems(exchange.Head().query))
        items.emplace_back(PercentDecode(key), PercentDecode(value));
    std::lock_guard lock(m_mutex);
    std::vector<TestHookProvider*> owners;
    for (const auto& [key, value] : items) {
        std::optional<std::string> reason;
        for (TestHookProvider* provider : m_providers) {
            reason = provider->CheckControl(key, value);
            if (reason) {
                owners.push_back(provider);
                break;
            }
        }
        if (!reason)
            reason = "unknown control key '" + key + "'";
        if (!reason->empty())
            return void(exchange.SendResponse(400, *reason + "\n", {{"Content-Type", "text/plain"}}));
    }
    if (items.empty())
        return void(exchange.SendResponse(400, "no control key given\n", {{"Content-Type", "text/plain"}}));
    for (size_t index = 0; index < items.size(); ++index)
        owners[index]->ApplyControl(items[index].first, items[index].second);
    exchange.SendResponse(200, "", {{"Content-Type", "text/plain"}});
}

} // namespace camsim
