#include "CliJson.h"

#include "Platform/platformText.h"

#include <nlohmann/json.hpp>

#include <cassert>
#include <optional>
#include <vector>

namespace {

using Json = nlohmann::ordered_json;

std::string dump(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace

// Open containers stand on a stack; a value goes into the innermost one, under the key
// written just before it when that is an object.
struct CliJson::State {
    std::vector<Json> open;
    std::vector<std::optional<std::string>> keyOfOpen; // the key each open container goes under
    std::optional<std::string> pendingKey;
    Json root;
    bool haveRoot = false;
    mutable std::string text;

    void put(Json value)
    {
        if (open.empty()) {
            root = std::move(value);
            haveRoot = true;
            return;
        }
        Json& into = open.back();
        if (into.is_object()) {
            assert(pendingKey.has_value());
            into[pendingKey.value_or(std::string())] = std::move(value);
            pendingKey.reset();
            return;
        }
        into.push_back(std::move(value));
    }

    void begin(Json container)
    {
        keyOfOpen.push_back(pendingKey);
        pendingKey.reset();
        open.push_back(std::move(container));
    }

    void end()
    {
        assert(!open.empty());
        if (open.empty())
            return;
        Json done = std::move(open.back());
        open.pop_back();
        pendingKey = keyOfOpen.back();
        keyOfOpen.pop_back();
        put(std::move(done));
    }
};

CliJson::CliJson() : state_(std::make_unique<State>()) {}

CliJson::~CliJson() = default;

CliJson& CliJson::beginObject()
{
    state_->begin(Json::object());
    return *this;
}

CliJson& CliJson::endObject()
{
    state_->end();
    return *this;
}

CliJson& CliJson::beginArray()
{
    state_->begin(Json::array());
    return *this;
}

CliJson& CliJson::endArray()
{
    state_->end();
    return *this;
}

CliJson& CliJson::key(std::string_view name)
{
    state_->pendingKey = std::string(name);
    return *this;
}

CliJson& CliJson::sjis(std::string_view value)
{
    return utf8(platform::sjisToUtf8(value));
}

CliJson& CliJson::utf8(std::string_view value)
{
    state_->put(Json(std::string(value)));
    return *this;
}

CliJson& CliJson::number(long long value)
{
    state_->put(Json(value));
    return *this;
}

CliJson& CliJson::boolean(bool value)
{
    state_->put(Json(value));
    return *this;
}

CliJson& CliJson::null()
{
    state_->put(Json(nullptr));
    return *this;
}

const std::string& CliJson::text() const
{
    state_->text = state_->haveRoot ? dump(state_->root) : std::string();
    return state_->text;
}

std::string CliJson::quote(std::string_view utf8)
{
    return dump(Json(std::string(utf8)));
}
