// BankFormat.h - the plain content of a bank file (before encryption).
//
// Version 3, written now: little-endian binary records, so that a load
// finds every site without parsing text, and a site's fields are read only
// when something asks for them.
//   u32 pwdBank, u32 bubble, u32 site count
//   per site: u32 size of the rest of the record, then
//     u16 uid length, the uid (ASCII),
//     name, url, form id, form name: each a text,
//     a number: the input count, per input: a number n, then id, name,
//     type, value, each a text.
//   A number takes seven bits a byte, the lowest first, the top bit set on
//   every byte but the last, in as few bytes as it needs. A text is a
//   number, its length in UTF-16 code units times two plus one when it is
//   wide, then its code units: one byte each when every one is below 256
//   (narrow), else two (UTF-16LE). Most texts are narrow, so a bank takes
//   about half the room (and time to read) that version 2 took.
// Version 2, still read: as version 3, but every number is a u32 and every
//   text a u32 length and its UTF-16 code units.
// Version 1, still read: UTF-8 JSON Lines, the settings first,
//   {"bubble":1,"pwdBank":1,"sites":2}
// then one site per line:
//   {"formId":"f","formName":"login","inputs":[{"id":"u","n":1,"name":"user",
//    "type":"text","value":"alice"},...],"name":"Example","uid":"...","url":"https://..."}
#pragma once

#include "Records.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qovi {

// One site's record within a content buffer.
struct RecordView {
    const char* data = nullptr;
    uint32_t size = 0;
    bool empty() const { return data == nullptr; }
};

struct ContentView {
    int pwdBankEnable = 1;
    int bubbleEnable = 1;
    std::vector<RecordView> sites;
};

// Checks a whole version 3 content, every record to its last field, and
// lists its records; false with a reason when anything does not fit.
bool scanContent(const char* data, size_t size, ContentView& view, std::string& why);

// Rewrites a version 1 or 2 content as version 3.
bool convertVersion1(const char* data, size_t size, std::string& out, std::string& why);
bool convertVersion2(const char* data, size_t size, std::string& out, std::string& why);

// The uid and the fields of a record that scanContent accepted.
std::string_view recordUid(RecordView record);
void decodeRecord(RecordView record, SiteRecord& site);
// Only the uid, the name and the keys, without the input items.
void decodeHead(RecordView record, SiteRecord& site);

// Appends the settings, or one site's record with its size in front.
const size_t kSettingsSize = 12;
void encodeSettings(int pwdBankEnable, int bubbleEnable, size_t siteCount, std::string& out);
// The size of a record with these fields, without the size in front.
size_t recordSize(const std::string& uid, const std::wstring& webName, const std::wstring& url,
                  const std::wstring& formId, const std::wstring& formName,
                  const std::vector<const InputRecord*>& inputs);
// Each record in a content has its size in front, as a u32.
const size_t kRecordSizeBytes = 4;
// Appends a stored record as it is, with its size in front.
void appendRecord(RecordView record, std::string& out);
void encodeRecord(const std::string& uid, const std::wstring& webName, const std::wstring& url,
                  const std::wstring& formId, const std::wstring& formName,
                  const std::vector<const InputRecord*>& inputs, std::string& out);

}  // namespace qovi
