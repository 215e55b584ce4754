#include "BankFormat.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace qovi {

using nlohmann::json;

std::string serializeSite(const std::string& uid, const std::wstring& webName, const std::wstring& url,
                          const std::wstring& formId, const std::wstring& formName,
                          const std::vector<const InputRecord*>& inputs)
{
    json site = json::object();
    site["uid"] = uid;
    site["name"] = toUtf8(webName);
    site["url"] = toUtf8(url);
    site["formId"] = toUtf8(formId);
    site["formName"] = toUtf8(formName);
    json list = json::array();
    for (const InputRecord* input : inputs) {
        json item = json::object();
        item["n"] = input->n;
        item["id"] = toUtf8(input->id);
        item["name"] = toUtf8(input->name);
        item["type"] = toUtf8(input->type);
        std::string value = toUtf8(input->value);
        item["value"] = std::move(value);
        list.push_back(std::move(item));
    }
    site["inputs"] = std::move(list);
    std::string line = site.dump();
    for (json& item : site["inputs"])
        wipe(item["value"].get_ref<std::string&>());
    return line;
}

std::string serializeSettings(int pwdBankEnable, int bubbleEnable, size_t siteCount)
{
    json settings = json::object();
    settings["pwdBank"] = pwdBankEnable ? 1 : 0;
    settings["bubble"] = bubbleEnable ? 1 : 0;
    settings["sites"] = siteCount;
    return settings.dump();
}

namespace {

// Reads one site line event by event into a SiteRecord, without building a
// document tree: a bank of ten thousand sites loads several times faster so.
// Unknown members are skipped, so a later version may add some.
class SiteReader : public nlohmann::json_sax<json> {
public:
    explicit SiteReader(SiteRecord& site) : site_(site) {}

    std::string why;

    bool null() override { return scalar(); }
    bool boolean(bool) override { return scalar(); }
    bool number_integer(number_integer_t value) override
    {
        if (skip_ == 0 && level_ == Input && key_ == "n")
            input().n = value > 0 && value < 0x7fffffff ? static_cast<int>(value) : 0;
        return scalar();
    }
    bool number_unsigned(number_unsigned_t value) override
    {
        if (skip_ == 0 && level_ == Input && key_ == "n")
            input().n = value < 0x7fffffff ? static_cast<int>(value) : 0;
        return scalar();
    }
    bool number_float(number_float_t, const string_t&) override { return scalar(); }
    bool binary(binary_t&) override { return scalar(); }

    bool string(string_t& text) override
    {
        if (skip_ > 0)
            return true;
        if (level_ == Site) {
            if (key_ == "uid")
                site_.uid = text;
            else if (key_ == "name")
                site_.webName = fromUtf8(text);
            else if (key_ == "url")
                site_.url = fromUtf8(text);
            else if (key_ == "formId")
                site_.formId = fromUtf8(text);
            else if (key_ == "formName")
                site_.formName = fromUtf8(text);
        } else if (level_ == Input) {
            if (key_ == "id")
                input().id = fromUtf8(text);
            else if (key_ == "name")
                input().name = fromUtf8(text);
            else if (key_ == "type")
                input().type = fromUtf8(text);
            else if (key_ == "value") {
                input().value = fromUtf8(text);
                // The parser's token buffer held the value in plain.
                wipe(text);
            }
        } else {
            return fail("a site line must be an object");
        }
        return true;
    }

    bool start_object(std::size_t) override
    {
        if (skip_ > 0) {
            ++skip_;
        } else if (level_ == Top) {
            level_ = Site;
        } else if (level_ == Inputs) {
            site_.inputs.emplace_back();
            level_ = Input;
        } else {
            skip_ = 1;
        }
        return true;
    }
    bool end_object() override
    {
        if (skip_ > 0)
            --skip_;
        else if (level_ == Input)
            level_ = Inputs;
        else if (level_ == Site)
            level_ = Done;
        return true;
    }
    bool start_array(std::size_t) override
    {
        if (skip_ > 0)
            ++skip_;
        else if (level_ == Site && key_ == "inputs")
            level_ = Inputs;
        else if (level_ == Top)
            return fail("a site line must be an object");
        else
            skip_ = 1;
        return true;
    }
    bool end_array() override
    {
        if (skip_ > 0)
            --skip_;
        else if (level_ == Inputs)
            level_ = Site;
        return true;
    }
    bool key(string_t& name) override
    {
        if (skip_ == 0)
            key_ = name;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override
    {
        return fail(error.what());
    }

    bool complete() const { return level_ == Done; }

private:
    enum Level { Top, Site, Inputs, Input, Done };

    bool scalar()
    {
        if (skip_ == 0 && (level_ == Top || level_ == Inputs))
            return fail("unexpected value in a site line");
        return true;
    }
    bool fail(const char* reason)
    {
        why = reason;
        return false;
    }
    InputRecord& input() { return site_.inputs.back(); }

    SiteRecord& site_;
    Level level_ = Top;
    int skip_ = 0;
    std::string key_;
};

bool checkSite(const SiteRecord& site, std::string& why)
{
    if (site.uid.empty()) {
        why = "a site without uid";
        return false;
    }
    for (size_t i = 0; i < site.inputs.size(); ++i) {
        if (site.inputs[i].n <= 0) {
            why = "an input item without number";
            return false;
        }
        for (size_t j = 0; j < i; ++j) {
            if (site.inputs[j].n == site.inputs[i].n) {
                why = "two input items with one number";
                return false;
            }
        }
    }
    return true;
}

int flag(const json& settings, const char* name)
{
    auto member = settings.find(name);
    if (member == settings.end() || !member->is_number_integer())
        return 1;
    return member->get<long long>() != 0 ? 1 : 0;
}

}  // namespace

bool parsePayload(const char* payload, size_t size, BankContent& content, bool keepLines, std::string& why)
{
    content = BankContent();
    const char* stop = payload + size;
    const char* end = std::find(payload, stop, '\n');
    if (end == stop) {
        why = "no settings line";
        return false;
    }
    size_t expected = 0;
    try {
        json settings = json::parse(payload, end);
        if (!settings.is_object() || !settings.contains("sites") || !settings["sites"].is_number_unsigned()) {
            why = "a malformed settings line";
            return false;
        }
        content.pwdBankEnable = flag(settings, "pwdBank");
        content.bubbleEnable = flag(settings, "bubble");
        expected = settings["sites"].get<size_t>();
    } catch (const std::exception& error) {
        why = error.what();
        return false;
    }
    // The line count is trusted only as a hint: a bad count is caught below.
    content.sites.reserve(expected < 1000000 ? expected : 0);
    const char* start = end + 1;
    while (start < stop) {
        end = std::find(start, stop, '\n');
        if (end > start) {
            content.sites.emplace_back();
            SiteRecord& site = content.sites.back();
            SiteReader reader(site);
            bool parsed = json::sax_parse(start, end, &reader);
            if (!parsed || !reader.complete()) {
                why = reader.why.empty() ? "a malformed site line" : reader.why;
                return false;
            }
            if (!checkSite(site, why))
                return false;
            if (keepLines)
                site.line.assign(start, end);
        }
        start = end == stop ? stop : end + 1;
    }
    if (content.sites.size() != expected) {
        why = "the site count does not match the settings line";
        return false;
    }
    return true;
}

}  // namespace qovi
