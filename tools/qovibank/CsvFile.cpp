// CSV import and export.
#include "Console.h"
#include "Exchange.h"

#include <algorithm>
#include <cwctype>
#include <map>

namespace qovibank {

namespace {

struct Record {
    size_t line;
    std::vector<std::wstring> fields;
};

std::wstring lineText(size_t line) { return L"line " + std::to_wstring(line) + L": "; }

// RFC 4180 records: fields separated by commas, records by CR LF, LF or CR;
// a field in double quotes may hold commas, line breaks and doubled quotes.
bool splitRecords(const std::wstring& text, std::vector<Record>& records, std::wstring& error)
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
                if (i < n && text[i] != L',' && !atLineEnd(i)) {
                    error = lineText(line) + L"unexpected text after a closing quote";
                    return false;
                }
            } else {
                while (i < n && text[i] != L',' && !atLineEnd(i)) {
                    if (text[i] == L'"') {
                        error = lineText(line) + L"a quote inside a field that does not start with one";
                        return false;
                    }
                    field += text[i++];
                }
            }
            record.fields.push_back(std::move(field));
            if (i < n && text[i] == L',') {
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

enum Column { Name, Url, Username, Password, Note, FormId, FormName, UsernameField, PasswordField, UsernameId,
              PasswordId, Ignored, ColumnCount };

const std::map<std::wstring, Column>& knownColumns()
{
    static const std::map<std::wstring, Column> columns = {
        {L"name", Name}, {L"title", Name}, {L"url", Url}, {L"username", Username}, {L"password", Password},
        {L"note", Note}, {L"notes", Note}, {L"form_id", FormId}, {L"form_name", FormName},
        {L"username_field", UsernameField}, {L"password_field", PasswordField}, {L"username_id", UsernameId},
        {L"password_id", PasswordId},
        // Firefox's further columns: nothing in the store corresponds to them.
        {L"httprealm", Ignored}, {L"formactionorigin", Ignored}, {L"guid", Ignored}, {L"timecreated", Ignored},
        {L"timelastused", Ignored}, {L"timepasswordchanged", Ignored},
    };
    return columns;
}

}  // namespace

bool readCsv(const std::string& bytes, ImportFile& file, std::wstring& error)
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
    bool split = splitRecords(text, records, error);
    wipe(text);
    if (!split)
        return false;
    if (records.empty()) {
        error = L"the file is empty: no header row";
        return false;
    }

    const Record& header = records[0];
    std::vector<int> slot(ColumnCount, -1);
    std::vector<std::wstring> unknown;
    for (size_t c = 0; c < header.fields.size(); ++c) {
        std::wstring name = lowered(trimmed(header.fields[c]));
        auto known = knownColumns().find(name);
        if (known == knownColumns().end()) {
            unknown.push_back(header.fields[c]);
            continue;
        }
        if (known->second == Ignored)
            continue;
        if (slot[known->second] >= 0) {
            error = lineText(header.line) + L"the column \"" + header.fields[c] + L"\" appears twice";
            return false;
        }
        slot[known->second] = static_cast<int>(c);
    }
    std::wstring missing;
    for (auto required : {std::make_pair(Url, L"url"), std::make_pair(Username, L"username"),
                          std::make_pair(Password, L"password")}) {
        if (slot[required.first] < 0)
            missing += (missing.empty() ? L"" : L", ") + std::wstring(required.second);
    }
    if (!missing.empty()) {
        error = lineText(header.line) + L"unknown column set: the header lacks " + missing +
                L" (expected name,url,username,password[,note] or url,username,password,...)";
        return false;
    }
    if (!unknown.empty()) {
        std::wstring list;
        for (const std::wstring& name : unknown)
            list += (list.empty() ? L"\"" : L", \"") + name + L"\"";
        file.notes.push_back(L"ignored columns: " + list);
    }

    for (size_t r = 1; r < records.size(); ++r) {
        Record& record = records[r];
        ImportEntry entry;
        entry.line = record.line;
        if (record.fields.size() != header.fields.size()) {
            entry.rejected = L"the row has " + std::to_wstring(record.fields.size()) + L" fields, the header " +
                             std::to_wstring(header.fields.size());
        } else {
            auto field = [&](Column column) -> std::wstring {
                return slot[column] < 0 ? std::wstring() : record.fields[static_cast<size_t>(slot[column])];
            };
            QOVINewWebItem& site = entry.site;
            site.webName = trimmed(field(Name));
            site.url = trimmed(field(Url));
            site.formId = field(FormId);
            site.formName = field(FormName);
            std::wstring userField = field(UsernameField), passwordField = field(PasswordField);
            site.inputs.push_back({field(UsernameId), slot[UsernameField] < 0 ? L"username" : userField, L"text",
                                   field(Username)});
            site.inputs.push_back({field(PasswordId), slot[PasswordField] < 0 ? L"password" : passwordField,
                                   L"password", field(Password)});
            if (site.url.empty())
                entry.rejected = L"the url is empty";
        }
        for (std::wstring& value : record.fields)
            wipe(value);
        file.entries.push_back(std::move(entry));
    }
    return true;
}

namespace {

std::wstring quoted(const std::wstring& field)
{
    bool needs = field.find_first_of(L",\"\r\n") != std::wstring::npos ||
                 (!field.empty() && (field.front() == L' ' || field.back() == L' '));
    if (!needs)
        return field;
    std::wstring result = L"\"";
    for (wchar_t c : field) {
        if (c == L'"')
            result += L'"';
        result += c;
    }
    return result + L"\"";
}

}  // namespace

std::string writeCsv(const std::vector<ExportSite>& sites, std::vector<std::wstring>& lossy)
{
    std::wstring text =
        L"name,url,username,password,form_id,form_name,username_field,password_field,username_id,password_id\r\n";
    static const std::wstring empty;
    for (const ExportSite& entry : sites) {
        const QOVIInputItem* user = nullptr;
        const QOVIInputItem* password = nullptr;
        size_t used = 0;
        for (const QOVIInputItem* input : entry.inputs) {
            if (!user && input->getstrType() == L"text") {
                user = input;
                ++used;
            } else if (!password && input->getstrType() == L"password") {
                password = input;
                ++used;
            }
        }
        if (used != entry.inputs.size() || !user || !password)
            lossy.push_back(entry.site->getstrWebName());
        const std::wstring* fields[] = {
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
        for (size_t f = 0; f < sizeof fields / sizeof fields[0]; ++f) {
            if (f)
                text += L',';
            text += quoted(*fields[f]);
        }
        text += L"\r\n";
    }
    std::string bytes = toUtf8(text);
    wipe(text);
    return bytes;
}

}  // namespace qovibank
