#include "BankFormat.h"

#include <algorithm>
#include <cstring>

#include <nlohmann/json.hpp>

namespace qovi {

using nlohmann::json;

// ---------------------------------------------------- versions 3 and 2 --

namespace {

// How the numbers and texts inside a record are written.
enum class Layout { Version2, Version3 };

// An input item's number is a positive int in memory (0 marks none): a
// file's number is taken only below the largest int, so that it never
// wraps, whatever is done with it.
const uint32_t kMaxInputNumber = 0x7ffffffe;

void putU32(std::string& out, uint32_t value)
{
    char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                     static_cast<char>(value >> 24)};
    out.append(bytes, 4);
}

// Seven bits a byte, the lowest first; each byte but the last has its top
// bit set.
void putNumber(std::string& out, uint32_t value)
{
    while (value >= 0x80) {
        out += static_cast<char>(value | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

size_t numberSize(uint32_t value)
{
    size_t size = 1;
    for (; value >= 0x80; value >>= 7)
        ++size;
    return size;
}

// A text whose code units are all below 256 is narrow: one byte each.
bool isNarrow(const std::wstring& text)
{
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return static_cast<uint16_t>(c) < 0x100; });
}

// Its length times two, plus one when it is wide, then its code units:
// one byte each when narrow, else two (UTF-16LE).
void putText(std::string& out, const std::wstring& text)
{
    const bool narrow = isNarrow(text);
    putNumber(out, static_cast<uint32_t>(text.size()) << 1 | (narrow ? 0 : 1));
    if (!narrow) {
        out.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        return;
    }
    size_t at = out.size();
    out.resize(at + text.size());
    for (wchar_t c : text)
        out[at++] = static_cast<char>(c);
}

size_t textSize(const std::wstring& text)
{
    const bool narrow = isNarrow(text);
    return numberSize(static_cast<uint32_t>(text.size()) << 1) + text.size() * (narrow ? 1 : sizeof(wchar_t));
}

// Reads a record field by field; every read is checked against the end.
// Each value has one way to be written: a record that encodes differently
// from how it was read is refused, so a record read is saved unchanged.
class Reader {
public:
    Reader(const char* data, size_t size, Layout layout = Layout::Version3)
        : at_(data), end_(data + size), layout_(layout)
    {
    }

    bool u32(uint32_t& value)
    {
        if (end_ - at_ < 4)
            return false;
        const unsigned char* b = reinterpret_cast<const unsigned char*>(at_);
        value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
        at_ += 4;
        return true;
    }
    bool number(uint32_t& value)
    {
        if (layout_ == Layout::Version2)
            return u32(value);
        uint64_t read = 0;
        for (int shift = 0; shift < 35 && at_ != end_; shift += 7) {
            const unsigned char byte = static_cast<unsigned char>(*at_++);
            read |= static_cast<uint64_t>(byte & 0x7f) << shift;
            if (byte & 0x80)
                continue;
            // A last byte of 0 after others writes the number longer than it is.
            if ((byte == 0 && shift > 0) || read > 0xffffffffu)
                return false;
            value = static_cast<uint32_t>(read);
            return true;
        }
        return false;
    }
    bool uid(std::string_view& uid)
    {
        if (end_ - at_ < 2)
            return false;
        size_t length = static_cast<unsigned char>(at_[0]) | (static_cast<unsigned char>(at_[1]) << 8);
        at_ += 2;
        if (static_cast<size_t>(end_ - at_) < length)
            return false;
        uid = std::string_view(at_, length);
        at_ += length;
        return true;
    }
    // Skips a text field (text null) or copies it.
    bool text(std::wstring* text)
    {
        uint32_t length;
        bool narrow = false;
        if (layout_ == Layout::Version2) {
            if (!u32(length))
                return false;
        } else {
            if (!number(length))
                return false;
            narrow = !(length & 1);
            length >>= 1;
        }
        const size_t unit = narrow ? 1 : sizeof(wchar_t);
        if (static_cast<size_t>(end_ - at_) / unit < length)
            return false;
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(at_);
        // A wide text has a code unit of 256 or more, else it is written narrow.
        if (layout_ == Layout::Version3 && !narrow) {
            bool anyWide = false;
            for (uint32_t i = 0; i < length && !anyWide; ++i)
                anyWide = bytes[2 * i + 1] != 0;
            if (!anyWide)
                return false;
        }
        if (text) {
            text->resize(length);
            if (!narrow && length)
                memcpy(&(*text)[0], at_, length * sizeof(wchar_t));
            for (uint32_t i = 0; narrow && i < length; ++i)
                (*text)[i] = static_cast<wchar_t>(bytes[i]);
        }
        at_ += length * unit;
        return true;
    }
    bool atEnd() const { return at_ == end_; }
    const char* position() const { return at_; }

private:
    const char* at_;
    const char* end_;
    Layout layout_;
};

// Walks a record as decodeRecord will, without keeping anything.
// numbers: room for the input items' numbers, kept from record to record.
bool checkRecord(RecordView record, Layout layout, std::vector<uint32_t>& numbers, std::string& why)
{
    Reader reader(record.data, record.size, layout);
    std::string_view uid;
    uint32_t inputs = 0;
    bool ok = reader.uid(uid) && !uid.empty();
    for (int field = 0; ok && field < 4; ++field)
        ok = reader.text(nullptr);
    ok = ok && reader.number(inputs) && inputs <= record.size;
    numbers.clear();
    for (uint32_t i = 0; ok && i < inputs; ++i) {
        uint32_t n = 0;
        ok = reader.number(n) && n > 0 && n <= kMaxInputNumber &&
             std::find(numbers.begin(), numbers.end(), n) == numbers.end();
        numbers.push_back(n);
        for (int field = 0; ok && field < 4; ++field)
            ok = reader.text(nullptr);
    }
    if (!ok || !reader.atEnd()) {
        why = "a malformed site record";
        return false;
    }
    return true;
}

bool scanRecords(const char* data, size_t size, Layout layout, ContentView& view, std::string& why)
{
    view = ContentView();
    Reader reader(data, size);
    uint32_t pwdBank, bubble, count;
    if (!reader.u32(pwdBank) || !reader.u32(bubble) || !reader.u32(count) || count > size / 4) {
        why = "a malformed settings record";
        return false;
    }
    view.pwdBankEnable = pwdBank ? 1 : 0;
    view.bubbleEnable = bubble ? 1 : 0;
    view.sites.reserve(count);
    std::vector<uint32_t> numbers;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length;
        const char* start = reader.position() + kRecordSizeBytes;
        if (!reader.u32(length) || static_cast<size_t>(data + size - start) < length) {
            why = "a site record runs past the end";
            return false;
        }
        RecordView record{start, length};
        if (!checkRecord(record, layout, numbers, why))
            return false;
        view.sites.push_back(record);
        reader = Reader(start + length, static_cast<size_t>(data + size - start - length));
    }
    if (!reader.atEnd()) {
        why = "bytes after the last site record";
        return false;
    }
    return true;
}

}  // namespace

bool scanContent(const char* data, size_t size, ContentView& view, std::string& why)
{
    return scanRecords(data, size, Layout::Version3, view, why);
}

std::string_view recordUid(RecordView record)
{
    Reader reader(record.data, record.size);
    std::string_view uid;
    reader.uid(uid);
    return uid;
}

namespace {

Reader readHead(RecordView record, SiteRecord& site, Layout layout)
{
    Reader reader(record.data, record.size, layout);
    std::string_view uid;
    reader.uid(uid);
    site.uid.assign(uid.data(), uid.size());
    reader.text(&site.webName);
    reader.text(&site.url);
    reader.text(&site.formId);
    reader.text(&site.formName);
    return reader;
}

void decodeWith(RecordView record, Layout layout, SiteRecord& site)
{
    Reader reader = readHead(record, site, layout);
    uint32_t inputs = 0;
    reader.number(inputs);
    site.inputs.resize(inputs);
    for (InputRecord& input : site.inputs) {
        uint32_t n = 0;
        reader.number(n);
        input.n = static_cast<int>(n);
        reader.text(&input.id);
        reader.text(&input.name);
        reader.text(&input.type);
        reader.text(&input.value);
    }
}

}  // namespace

void decodeHead(RecordView record, SiteRecord& site) { readHead(record, site, Layout::Version3); }

void decodeRecord(RecordView record, SiteRecord& site) { decodeWith(record, Layout::Version3, site); }

void encodeSettings(int pwdBankEnable, int bubbleEnable, size_t siteCount, std::string& out)
{
    putU32(out, pwdBankEnable ? 1 : 0);
    putU32(out, bubbleEnable ? 1 : 0);
    putU32(out, static_cast<uint32_t>(siteCount));
}

size_t recordSize(const std::string& uid, const std::wstring& webName, const std::wstring& url,
                  const std::wstring& formId, const std::wstring& formName,
                  const std::vector<const InputRecord*>& inputs)
{
    size_t size = 2 + uid.size() + textSize(webName) + textSize(url) + textSize(formId) + textSize(formName) +
                  numberSize(static_cast<uint32_t>(inputs.size()));
    for (const InputRecord* input : inputs)
        size += numberSize(static_cast<uint32_t>(input->n)) + textSize(input->id) + textSize(input->name) +
                textSize(input->type) + textSize(input->value);
    return size;
}

void appendRecord(RecordView record, std::string& out)
{
    putU32(out, record.size);
    out.append(record.data, record.size);
}

void encodeRecord(const std::string& uid, const std::wstring& webName, const std::wstring& url,
                  const std::wstring& formId, const std::wstring& formName,
                  const std::vector<const InputRecord*>& inputs, std::string& out)
{
    putU32(out, static_cast<uint32_t>(recordSize(uid, webName, url, formId, formName, inputs)));
    out += static_cast<char>(uid.size() & 0xff);
    out += static_cast<char>(uid.size() >> 8);
    out += uid;
    putText(out, webName);
    putText(out, url);
    putText(out, formId);
    putText(out, formName);
    putNumber(out, static_cast<uint32_t>(inputs.size()));
    for (const InputRecord* input : inputs) {
        putNumber(out, static_cast<uint32_t>(input->n));
        putText(out, input->id);
        putText(out, input->name);
        putText(out, input->type);
        putText(out, input->value);
    }
}

// ------------------------------------------------------------- version 1 --

namespace {

// Reads one site line event by event into a SiteRecord, without building a
// document tree, which for a big bank costs more than the reading.
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
            input().n = value > 0 && value <= kMaxInputNumber ? static_cast<int>(value) : 0;
        return scalar();
    }
    bool number_unsigned(number_unsigned_t value) override
    {
        if (skip_ == 0 && level_ == Input && key_ == "n")
            input().n = value <= kMaxInputNumber ? static_cast<int>(value) : 0;
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
    if (site.uid.empty() || site.uid.size() > 0xffff) {
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

// Makes room for more bytes in a buffer that holds passwords: one that must
// grow is copied into a larger one and wiped, never left behind as it is.
void growWiped(std::string& out, size_t more)
{
    if (out.size() + more <= out.capacity())
        return;
    std::string larger;
    larger.reserve(std::max(2 * out.capacity(), out.size() + more));
    larger.append(out);
    wipe(out);
    out.swap(larger);
}

}  // namespace

bool convertVersion1(const char* payload, size_t size, std::string& out, std::string& why)
{
    // A record mostly takes less than twice its JSON line, so the buffer is
    // reserved once at that; one of tiny fields takes more (an input
    // {"n":1} of 7 characters takes 20 bytes), and then the buffer grows
    // by growWiped.
    out.clear();
    out.reserve(2 * size + 16);
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
        expected = settings["sites"].get<size_t>();
        encodeSettings(flag(settings, "pwdBank"), flag(settings, "bubble"), expected, out);
    } catch (const std::exception& error) {
        why = error.what();
        return false;
    }
    size_t found = 0;
    std::vector<const InputRecord*> inputs;
    for (const char* start = end + 1; start < stop; start = end == stop ? stop : end + 1) {
        end = std::find(start, stop, '\n');
        if (end == start)
            continue;
        SiteRecord site;
        SiteReader reader(site);
        if (!json::sax_parse(start, end, &reader) || !reader.complete()) {
            why = reader.why.empty() ? "a malformed site line" : reader.why;
            return false;
        }
        if (!checkSite(site, why))
            return false;
        inputs.clear();
        for (const InputRecord& input : site.inputs)
            inputs.push_back(&input);
        growWiped(out, kRecordSizeBytes + recordSize(site.uid, site.webName, site.url, site.formId, site.formName, inputs));
        encodeRecord(site.uid, site.webName, site.url, site.formId, site.formName, inputs, out);
        ++found;
    }
    if (found != expected) {
        why = "the site count does not match the settings line";
        return false;
    }
    return true;
}

bool convertVersion2(const char* payload, size_t size, std::string& out, std::string& why)
{
    ContentView view;
    if (!scanRecords(payload, size, Layout::Version2, view, why))
        return false;
    // Version 3 mostly takes less room; the buffer grows by growWiped when not.
    out.clear();
    out.reserve(size + 16);
    encodeSettings(view.pwdBankEnable, view.bubbleEnable, view.sites.size(), out);
    std::vector<const InputRecord*> inputs;
    for (RecordView record : view.sites) {
        SiteRecord site;
        decodeWith(record, Layout::Version2, site);
        inputs.clear();
        for (const InputRecord& input : site.inputs)
            inputs.push_back(&input);
        growWiped(out, kRecordSizeBytes + recordSize(site.uid, site.webName, site.url, site.formId, site.formName, inputs));
        encodeRecord(site.uid, site.webName, site.url, site.formId, site.formName, inputs, out);
    }
    return true;
}

}  // namespace qovi
