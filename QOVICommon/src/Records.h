// Records.h - the bank's content as plain data, as read from a file.
#pragma once

#include "Text.h"

#include <string>
#include <vector>

namespace qovi {

struct InputRecord {
    int n = 0;  // identifies the item within its site, across saves and processes
    std::wstring id, name, type, value;

    InputRecord() = default;
    InputRecord(const InputRecord&) = default;
    InputRecord(InputRecord&&) = default;
    InputRecord& operator=(const InputRecord&) = default;
    InputRecord& operator=(InputRecord&&) = default;
    ~InputRecord() { wipe(value); }
};

struct SiteRecord {
    std::string uid;  // identifies the site across renames, saves and processes
    std::wstring webName, url, formId, formName;
    std::vector<InputRecord> inputs;
    std::string line;  // the site's serialized form as read (holds values in plain)

    SiteRecord() = default;
    SiteRecord(const SiteRecord&) = default;
    SiteRecord(SiteRecord&&) = default;
    SiteRecord& operator=(const SiteRecord&) = default;
    SiteRecord& operator=(SiteRecord&&) = default;
    ~SiteRecord() { wipe(line); }
};

struct BankContent {
    int pwdBankEnable = 1;
    int bubbleEnable = 1;
    std::vector<SiteRecord> sites;
};

}  // namespace qovi
