// Records.h - the bank's content as plain data.
#pragma once

#include "QOVIText.h"

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
};

}  // namespace qovi
