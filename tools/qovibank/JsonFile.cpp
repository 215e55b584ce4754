// JSON import and export.
#include "Console.h"
#include "Exchange.h"

#include <iterator>

#include <nlohmann/json.hpp>

namespace qovibank {

using nlohmann::json;

namespace {

const char kFormat[] = "qovibank";
const int kVersion = 1;

// A character iterator that counts the line breaks it passes, so the
// event parser below knows the line each site starts on.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, size_t* line) : at_(at), line_(line) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++()
    {
        if (*at_ == '\n')
            ++*line_;
        ++at_;
        return *this;
    }
    CountingIterator operator++(int)
    {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }
    bool operator!=(const CountingIterator& other) const { return at_ != other.at_; }

private:
    const char* at_;
    size_t* line_;
};

// Notes the line of every object directly inside the top-level "sites" array.
class SiteLines : public nlohmann::json_sax<json> {
public:
    SiteLines(const size_t* line, std::vector<size_t>& lines) : line_(line), lines_(lines) {}

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool key(string_t& name) override
    {
        if (depth_ == 1)
            topKey_ = name;
        return true;
    }
    bool start_object(std::size_t) override
    {
        if (depth_ == 2 && inSites_)
            lines_.push_back(*line_);
        ++depth_;
        return true;
    }
    bool end_object() override
    {
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override
    {
        if (depth_ == 1 && topKey_ == "sites")
            inSites_ = true;
        ++depth_;
        return true;
    }
    bool end_array() override
    {
        if (--depth_ == 1)
            inSites_ = false;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    const size_t* line_;
    std::vector<size_t>& lines_;
    int depth_ = 0;
    bool inSites_ = false;
    std::string topKey_;
};

// A member that must be a string when present; false when it is another type.
bool text(const json& object, const char* name, std::wstring& out)
{
    auto member = object.find(name);
    if (member == object.end() || member->is_null())
        return true;
    if (!member->is_string())
        return false;
    out = fromUtf8(member->get_ref<const std::string&>());
    return true;
}

std::wstring readSite(const json& site, QOVINewWebItem& out)
{
    if (!site.is_object())
        return L"a site must be an object";
    if (!text(site, "name", out.webName) || !text(site, "url", out.url) || !text(site, "formId", out.formId) ||
        !text(site, "formName", out.formName))
        return L"name, url, formId and formName must be strings";
    auto inputs = site.find("inputs");
    if (inputs != site.end() && !inputs->is_null()) {
        if (!inputs->is_array())
            return L"inputs must be an array";
        for (const json& input : *inputs) {
            QOVINewInputItem item;
            if (!input.is_object())
                return L"an input item must be an object";
            if (!text(input, "id", item.id) || !text(input, "name", item.name) || !text(input, "type", item.type) ||
                !text(input, "value", item.value))
                return L"id, name, type and value of an input item must be strings";
            out.inputs.push_back(std::move(item));
        }
    }
    if (out.url.empty())
        return L"the url is empty";
    return std::wstring();
}

}  // namespace

bool looksLikeJson(const std::string& bytes)
{
    size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string::npos && (bytes[first] == '{' || bytes[first] == '[');
}

bool readJson(const std::string& bytes, ImportFile& file, std::wstring& error)
{
    json document;
    try {
        document = json::parse(bytes);
    } catch (const json::parse_error& failure) {
        // The library's message names the line and column.
        std::string what = failure.what();
        size_t at = what.find("parse error at ");
        error = fromUtf8(at == std::string::npos ? what : what.substr(at));
        return false;
    }
    if (!document.is_object() || !document.contains("sites") || !document["sites"].is_array()) {
        error = L"line 1: not a qovibank export: expected an object with a \"sites\" array";
        return false;
    }
    if (document.contains("format") && document["format"] != kFormat) {
        error = L"line 1: not a qovibank export: the format is not \"qovibank\"";
        return false;
    }
    if (document.contains("version") &&
        (!document["version"].is_number_unsigned() || document["version"].get<unsigned>() > static_cast<unsigned>(kVersion))) {
        error = L"line 1: a version of the export format this qovibank does not know";
        return false;
    }

    std::vector<size_t> lines;
    size_t line = 1;
    SiteLines reader(&line, lines);
    json::sax_parse(CountingIterator(bytes.data(), &line), CountingIterator(bytes.data() + bytes.size(), &line),
                    &reader);

    json& sites = document["sites"];
    for (size_t i = 0; i < sites.size(); ++i) {
        ImportEntry entry;
        entry.line = i < lines.size() ? lines[i] : 0;
        entry.rejected = readSite(sites[i], entry.site);
        file.entries.push_back(std::move(entry));
    }
    // The document held every value in plain.
    for (json& site : sites) {
        if (site.is_object() && site.contains("inputs") && site["inputs"].is_array()) {
            for (json& input : site["inputs"]) {
                if (input.is_object() && input.contains("value") && input["value"].is_string())
                    wipe(input["value"].get_ref<std::string&>());
            }
        }
    }
    return true;
}

std::string writeJson(const std::vector<ExportSite>& sites)
{
    json document = json::object();
    document["format"] = kFormat;
    document["version"] = kVersion;
    json list = json::array();
    for (const ExportSite& entry : sites) {
        json site = json::object();
        site["name"] = toUtf8(entry.site->getstrWebName());
        site["url"] = toUtf8(entry.site->getstrURL());
        site["formId"] = toUtf8(entry.site->getstrFormId());
        site["formName"] = toUtf8(entry.site->getstrFormName());
        json inputs = json::array();
        for (const QOVIInputItem* input : entry.inputs) {
            json item = json::object();
            item["id"] = toUtf8(input->getstrId());
            item["name"] = toUtf8(input->getstrName());
            item["type"] = toUtf8(input->getstrType());
            item["value"] = toUtf8(input->getstrValue());
            inputs.push_back(std::move(item));
        }
        site["inputs"] = std::move(inputs);
        list.push_back(std::move(site));
    }
    document["sites"] = std::move(list);
    std::string text = document.dump(2) + "\n";
    for (json& site : document["sites"]) {
        for (json& input : site["inputs"])
            wipe(input["value"].get_ref<std::string&>());
    }
    return text;
}

}  // namespace qovibank
