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

// Where the reader is in the text: lines start at 1 after CR LF, LF or CR,
// columns count characters (not the bytes of their UTF-8 form) from 1.
struct Position {
    size_t line = 1, column = 0;
};
// A line break belongs to the line it ends, so a number's end, which the
// reader only sees at the character after it, is still on the number's line.
struct Cursor {
    Position last;        // of the character read last
    Position next{1, 1};  // of the next one
    char previous = 0;
};

// A character iterator that keeps the cursor up to date, so that the event
// reader below knows where each site starts and where an error is.
class CountingIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, Cursor* cursor) : at_(at), cursor_(cursor) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++()
    {
        const char c = *at_++;
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80)
            return *this;  // a continuation byte belongs to the character before
        Cursor& cursor = *cursor_;
        cursor.last = cursor.next;
        if (c == '\r' || (c == '\n' && cursor.previous != '\r'))
            cursor.next = Position{cursor.last.line + 1, 1};
        else if (c != '\n')
            cursor.next = Position{cursor.last.line, cursor.last.column + 1};
        cursor.previous = c;
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
    Cursor* cursor_;
};

// Notes the line of every value directly inside the top-level "sites" array
// (the last such array, as the parser keeps the last of two equal keys), and
// where the text stops being JSON.
class SiteLines : public nlohmann::json_sax<json> {
public:
    SiteLines(const Cursor& cursor, std::vector<size_t>& lines) : cursor_(cursor), lines_(lines) {}

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool key(string_t& name) override
    {
        if (depth_ == 1)
            topKey_ = name;
        return true;
    }
    bool start_object(std::size_t) override
    {
        value();
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
        value();
        if (depth_ == 1 && topKey_ == "sites") {
            inSites_ = true;
            lines_.clear();
        }
        ++depth_;
        return true;
    }
    bool end_array() override
    {
        if (--depth_ == 1)
            inSites_ = false;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override
    {
        error = cursor_.last;
        return false;
    }

    Position error;

private:
    bool value()
    {
        if (depth_ == 2 && inSites_)
            lines_.push_back(cursor_.last.line);
        return true;
    }

    const Cursor& cursor_;
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

// Why the document is not one of our exports; empty when it is.
std::wstring documentProblem(json& document)
{
    if (!document.is_object() || !document.contains("sites") || !document["sites"].is_array())
        return L"line 1: not a qovibank export: expected an object with a \"sites\" array";
    if (document.contains("format") && document["format"] != kFormat)
        return L"line 1: not a qovibank export: the format is not \"qovibank\"";
    // Compared as JSON numbers: no conversion can wrap a large one into range.
    const json& version = document.contains("version") ? document["version"] : json(kVersion);
    if (!version.is_number_integer() || version < 1 || version > kVersion)
        return L"line 1: a version of the export format this qovibank does not know";
    return std::wstring();
}

// The document held every value in plain.
void wipeValues(json& document)
{
    if (!document.is_object() || !document.contains("sites") || !document["sites"].is_array())
        return;
    for (json& site : document["sites"]) {
        if (site.is_object() && site.contains("inputs") && site["inputs"].is_array()) {
            for (json& input : site["inputs"]) {
                if (input.is_object() && input.contains("value") && input["value"].is_string())
                    wipe(input["value"].get_ref<std::string&>());
            }
        }
    }
}

}  // namespace

bool looksLikeJson(const std::string& bytes)
{
    size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string::npos && (bytes[first] == '{' || bytes[first] == '[');
}

bool readJson(const std::string& bytes, ImportFile& file, std::wstring& error)
{
    // First the events, for the lines of the sites and the place of an error:
    // the library's own messages quote the text around it, which may be a
    // password.
    std::vector<size_t> lines;
    Cursor cursor;
    SiteLines reader(cursor, lines);
    if (!json::sax_parse(CountingIterator(bytes.data(), &cursor),
                         CountingIterator(bytes.data() + bytes.size(), &cursor), &reader)) {
        error = L"line " + std::to_wstring(reader.error.line) + L", column " +
                std::to_wstring(reader.error.column) + L": not valid JSON";
        return false;
    }
    json document = json::parse(bytes);
    error = documentProblem(document);
    if (error.empty()) {
        json& sites = document["sites"];
        for (size_t i = 0; i < sites.size(); ++i) {
            ImportEntry entry;
            entry.line = i < lines.size() ? lines[i] : 0;
            entry.rejected = readSite(sites[i], entry.site);
            file.entries.push_back(std::move(entry));
        }
    }
    wipeValues(document);
    return error.empty();
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
