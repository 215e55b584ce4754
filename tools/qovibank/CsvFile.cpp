// CSV and tab-separated import, CSV export.
#include "Console.h"
#include "Exchange.h"

#include <algorithm>
#include <cwctype>
#include <string_view>

namespace qovibank {

namespace {

struct Record {
    size_t line;
    std::vector<std::wstring> fields;
};

std::wstring lineText(size_t line) { return L"line " + std::to_wstring(line) + L": "; }

// RFC 4180 records: fields separated by the delimiter (a comma or a tab),
// records by CR LF, LF or CR; a field in double quotes may hold delimiters,
// line breaks and doubled quotes.
bool splitRecords(const std::wstring& text, wchar_t delimiter, std::vector<Record>& records, std::wstring& error)
{
    size_t i = 0, line = 1;
    const size_t n = text.size();
    auto atLineEnd = [&](size_t at) { return at < n && (text[at] == L'\r' || text[at] == L'\n'); };
    while (i < n) {
        Record record{line, {}};
        for (;;) {
            std::wstring field;
            if (i < n && text[i] == L'"') {
                size_t start = line;
                ++i;
                for (;;) {
                    if (i >= n) {
                        error = lineText(start) + L"a quoted field is not closed";
                        return false;
                    }
                    wchar_t c = text[i];
                    if (c == L'"') {
                        if (i + 1 < n && text[i + 1] == L'"') {
                            field += L'"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (c == L'\n' || (c == L'\r' && (i + 1 >= n || text[i + 1] != L'\n')))
                        ++line;
                    field += c;
                    ++i;
                }
                if (i < n && text[i] != delimiter && !atLineEnd(i)) {
                    error = lineText(line) + L"unexpected text after a closing quote";
                    return false;
                }
            } else {
                while (i < n && text[i] != delimiter && !atLineEnd(i)) {
                    if (text[i] == L'"') {
                        error = lineText(line) + L"a quote inside a field that does not start with one";
                        return false;
                    }
                    field += text[i++];
                }
            }
            record.fields.push_back(std::move(field));
            if (i < n && text[i] == delimiter) {
                ++i;
                continue;
            }
            if (i < n && text[i] == L'\r')
                ++i;
            if (i < n && text[i] == L'\n')
                ++i;
            ++line;
            break;
        }
        bool blank = record.fields.size() == 1 && record.fields[0].empty();
        if (!blank)
            records.push_back(std::move(record));
    }
    return true;
}

std::wstring trimmed(const std::wstring& text)
{
    size_t start = text.find_first_not_of(L" \t");
    if (start == std::wstring::npos)
        return std::wstring();
    size_t end = text.find_last_not_of(L" \t");
    return text.substr(start, end - start + 1);
}

std::wstring lowered(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// What a column holds. Email is the user name only where no column holds it.
enum Field { Name, Url, Username, Email, Password, Type, FormId, FormName, UsernameField, PasswordField, UsernameId,
             PasswordId, Ignored, Unknown, FieldCount };

// The column names of the common exports (browsers, Bitwarden, KeePassXC,
// Safari, 1Password, LastPass, Firefox), compared in lower case without
// surrounding spaces.
const struct {
    const wchar_t* column;
    Field field;
} kColumns[] = {
    {L"name", Name}, {L"title", Name},
    {L"url", Url}, {L"login_uri", Url}, {L"website", Url}, {L"hostname", Url},
    {L"username", Username}, {L"login_username", Username}, {L"user", Username}, {L"login", Username},
    {L"email", Email},
    {L"password", Password}, {L"login_password", Password},
    {L"type", Type},
    {L"form_id", FormId}, {L"form_name", FormName}, {L"username_field", UsernameField},
    {L"password_field", PasswordField}, {L"username_id", UsernameId}, {L"password_id", PasswordId},
    // Nothing in the store corresponds to these.
    {L"note", Ignored}, {L"notes", Ignored}, {L"extra", Ignored}, {L"folder", Ignored}, {L"group", Ignored},
    {L"grouping", Ignored}, {L"tags", Ignored}, {L"favorite", Ignored}, {L"fav", Ignored}, {L"archived", Ignored},
    {L"fields", Ignored}, {L"reprompt", Ignored}, {L"totp", Ignored}, {L"login_totp", Ignored},
    {L"otpauth", Ignored}, {L"icon", Ignored}, {L"last modified", Ignored}, {L"created", Ignored},
    {L"httprealm", Ignored}, {L"formactionorigin", Ignored}, {L"guid", Ignored}, {L"timecreated", Ignored},
    {L"timelastused", Ignored}, {L"timepasswordchanged", Ignored},
};

// The header of our own export, in its order. A file with exactly this
// header is read back exactly: no value is trimmed, and the apostrophe the
// export put before a value (see appendCell) is taken off again.
const wchar_t* const kOwnColumns[] = {L"name", L"url", L"username", L"password", L"form_id", L"form_name",
                                      L"username_field", L"password_field", L"username_id", L"password_id"};

Field fieldOf(const std::wstring& column)
{
    std::wstring name = lowered(trimmed(column));
    for (const auto& known : kColumns) {
        if (name == known.column)
            return known.field;
    }
    return Unknown;
}

// Finds the column of each field; false when two columns hold one field or
// a required one is missing.
bool mapColumns(const Record& header, std::vector<int>& slot, ImportFile& file, std::wstring& error)
{
    slot.assign(FieldCount, -1);
    std::wstring unknown;
    for (size_t c = 0; c < header.fields.size(); ++c) {
        Field field = fieldOf(header.fields[c]);
        if (field == Unknown)
            unknown += (unknown.empty() ? L"\"" : L", \"") + header.fields[c] + L"\"";
        if (field == Unknown || field == Ignored)
            continue;
        if (slot[field] >= 0) {
            error = lineText(header.line) + L"the columns \"" + header.fields[static_cast<size_t>(slot[field])] +
                    L"\" and \"" + header.fields[c] + L"\" hold the same field";
            return false;
        }
        slot[field] = static_cast<int>(c);
    }
    if (slot[Username] < 0)
        slot[Username] = slot[Email];
    std::wstring missing;
    for (auto required : {std::make_pair(Url, L"url"), std::make_pair(Username, L"user name"),
                          std::make_pair(Password, L"password")}) {
        if (slot[required.first] < 0)
            missing += (missing.empty() ? L"" : L", ") + std::wstring(required.second);
    }
    if (!missing.empty()) {
        error = lineText(header.line) + L"the header has no column for the " + missing;
        return false;
    }
    if (!unknown.empty())
        file.notes.push_back(L"ignored columns: " + unknown);
    return true;
}

bool isOwnHeader(const Record& header)
{
    const size_t count = sizeof kOwnColumns / sizeof kOwnColumns[0];
    if (header.fields.size() != count)
        return false;
    for (size_t c = 0; c < count; ++c) {
        if (lowered(trimmed(header.fields[c])) != kOwnColumns[c])
            return false;
    }
    return true;
}

// A row that is no login: Bitwarden writes notes, cards and identities with
// another type, LastPass its secure notes with the url "http://sn".
bool isNotLogin(const std::wstring& type, const std::wstring& url)
{
    return (!type.empty() && lowered(trimmed(type)) != L"login") || trimmed(url) == L"http://sn";
}

// One row as a site; fields holds as many fields as the header.
void readRow(std::vector<std::wstring>& fields, const std::vector<int>& slot, bool own, ImportEntry& entry)
{
    static const std::wstring none;
    auto field = [&](Field f) -> const std::wstring& {
        return slot[f] < 0 ? none : fields[static_cast<size_t>(slot[f])];
    };
    QOVINewWebItem& site = entry.site;
    site.webName = own ? field(Name) : trimmed(field(Name));
    site.url = own ? field(Url) : trimmed(field(Url));
    site.formId = field(FormId);
    site.formName = field(FormName);
    // Our own rows name the user name item even when its value is empty.
    if (!field(Username).empty() || !field(UsernameField).empty() || !field(UsernameId).empty())
        site.inputs.push_back({field(UsernameId), slot[UsernameField] < 0 ? L"username" : field(UsernameField),
                               L"text", field(Username)});
    site.inputs.push_back({field(PasswordId), slot[PasswordField] < 0 ? L"password" : field(PasswordField),
                           L"password", std::move(fields[static_cast<size_t>(slot[Password])])});
    if (site.url.empty())
        entry.rejected = L"the url is empty";
    else if (site.inputs.back().value.empty())
        entry.rejected = L"the password is empty";
}

}  // namespace

wchar_t csvDelimiter(const std::wstring& path, const std::string& bytes)
{
    if (path.size() >= 4 && lowered(path.substr(path.size() - 4)) == L".tsv")
        return L'\t';
    const size_t end = std::min(bytes.find_first_of("\r\n"), bytes.size());
    const auto header = bytes.begin() + static_cast<std::ptrdiff_t>(end);
    return std::find(bytes.begin(), header, '\t') != header && std::find(bytes.begin(), header, ',') == header
               ? L'\t'
               : L',';
}

bool readCsv(const std::string& bytes, wchar_t delimiter, ImportFile& file, std::wstring& error)
{
    std::wstring text;
    if (!fromUtf8Checked(bytes, text)) {
        size_t line = 1 + static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
        // Find the first line that does not convert.
        size_t start = 0;
        for (size_t number = 1; start <= bytes.size(); ++number) {
            size_t end = bytes.find('\n', start);
            std::wstring ignored;
            if (!fromUtf8Checked(bytes.substr(start, end == std::string::npos ? std::string::npos : end - start),
                                 ignored)) {
                line = number;
                break;
            }
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        wipe(text);
        error = lineText(line) + L"the file is not UTF-8 text";
        return false;
    }
    std::vector<Record> records;
    bool split = splitRecords(text, delimiter, records, error);
    wipe(text);
    std::vector<int> slot;
    if (split && records.empty())
        error = L"the file is empty: no header row";
    if (!split || records.empty() || !mapColumns(records[0], slot, file, error)) {
        for (Record& record : records) {
            for (std::wstring& value : record.fields)
                wipe(value);
        }
        return false;
    }

    const Record& header = records[0];
    const bool own = isOwnHeader(header);
    for (size_t r = 1; r < records.size(); ++r) {
        std::vector<std::wstring>& fields = records[r].fields;
        ImportEntry entry;
        entry.line = records[r].line;
        if (fields.size() > header.fields.size()) {
            entry.rejected = L"the row has " + std::to_wstring(fields.size()) + L" fields, the header " +
                             std::to_wstring(header.fields.size());
            file.entries.push_back(std::move(entry));
        } else {
            // Several exporters leave out a row's trailing empty fields.
            fields.resize(header.fields.size());
            for (std::wstring& value : fields) {
                if (own && !value.empty() && value[0] == L'\'')
                    value.erase(0, 1);
            }
            if (isNotLogin(slot[Type] < 0 ? std::wstring() : fields[static_cast<size_t>(slot[Type])],
                           fields[static_cast<size_t>(slot[Url])])) {
                ++file.skipped;
            } else {
                readRow(fields, slot, own, entry);
                file.entries.push_back(std::move(entry));
            }
        }
        for (std::wstring& value : fields)
            wipe(value);
    }
    return true;
}

namespace {

// Appends one cell. A value that would start a formula (=, +, -, @, or a tab
// or carriage return a spreadsheet may skip before one) gets an apostrophe
// first, so that a spreadsheet shows it as text; so does a value that starts
// with an apostrophe itself, so that readCsv takes exactly one off every
// value of our own file and gets the value back.
void appendCell(std::wstring& text, const std::wstring& value)
{
    const bool formula = !value.empty() && std::wstring_view(L"=+-@\t\r'").find(value[0]) != std::wstring_view::npos;
    const bool quote = value.find_first_of(L",\"\r\n\t") != std::wstring::npos ||
                       (!value.empty() && (value.front() == L' ' || value.back() == L' '));
    if (quote)
        text += L'"';
    if (formula)
        text += L'\'';
    for (wchar_t c : value) {
        if (c == L'"')
            text += L'"';
        text += c;
    }
    if (quote)
        text += L'"';
}

}  // namespace

std::string writeCsv(const std::vector<ExportSite>& sites, std::vector<std::wstring>& lossy)
{
    const size_t columns = sizeof kOwnColumns / sizeof kOwnColumns[0];
    static const std::wstring empty;
    // The cells of every row first, so that the text is allocated once and no
    // copy of a password is left behind in a freed buffer.
    std::vector<const std::wstring*> cells;
    size_t size = 0;
    for (const ExportSite& entry : sites) {
        const QOVIInputItem* user = nullptr;
        const QOVIInputItem* password = nullptr;
        size_t used = 0;
        for (const QOVIInputItem* input : entry.inputs) {
            if (!user && isUserNameType(input->getstrType())) {
                user = input;
                ++used;
            } else if (!password && input->getstrType() == L"password") {
                password = input;
                ++used;
            }
        }
        // What an import of the row would not give back: items beyond one user
        // name and one password, no password, a user name item of another type
        // than "text" (an import makes it one), or one without value, name or id.
        if (used != entry.inputs.size() || !password || password->getstrValue().empty() ||
            (user && user->getstrType() != L"text") ||
            (user && user->getstrValue().empty() && user->getstrName().empty() && user->getstrId().empty()))
            lossy.push_back(entry.site->getstrWebName());
        const std::wstring* row[] = {
            &entry.site->getstrWebName(),
            &entry.site->getstrURL(),
            user ? &user->getstrValue() : &empty,
            password ? &password->getstrValue() : &empty,
            &entry.site->getstrFormId(),
            &entry.site->getstrFormName(),
            user ? &user->getstrName() : &empty,
            password ? &password->getstrName() : &empty,
            user ? &user->getstrId() : &empty,
            password ? &password->getstrId() : &empty,
        };
        static_assert(sizeof row / sizeof row[0] == columns, "one cell per column of the header");
        for (const std::wstring* cell : row) {
            cells.push_back(cell);
            size += 2 * cell->size() + 4;  // doubled quotes, two quotes, an apostrophe, a comma
        }
    }
    std::wstring text;
    text.reserve(size + 2 * sites.size() + 128);
    for (size_t c = 0; c < columns; ++c)
        text += (c ? L"," : L"") + std::wstring(kOwnColumns[c]);
    text += L"\r\n";
    for (size_t c = 0; c < cells.size(); ++c) {
        appendCell(text, *cells[c]);
        text += (c + 1) % columns ? L"," : L"\r\n";
    }
    std::string bytes = toUtf8(text);
    wipe(text);
    return bytes;
}

}  // namespace qovibank
