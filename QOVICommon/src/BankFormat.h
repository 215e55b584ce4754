// BankFormat.h - the plain content of a bank file (before encryption).
//
// UTF-8 JSON Lines: the first line holds the settings,
//   {"bubble":1,"pwdBank":1,"sites":2}
// and each further line one site, in bank order:
//   {"formId":"f","formName":"login","inputs":[{"id":"u","n":1,"name":"user",
//    "type":"text","value":"alice"},...],"name":"Example","uid":"...","url":"https://..."}
// A site's line is kept in memory while the site is unchanged, so a save
// re-serializes only the sites that changed.
#pragma once

#include "Records.h"

#include <string>

namespace qovi {

// The serialized line of one site, without the line break.
std::string serializeSite(const std::string& uid, const std::wstring& webName, const std::wstring& url,
                          const std::wstring& formId, const std::wstring& formName,
                          const std::vector<const InputRecord*>& inputs);
std::string serializeSettings(int pwdBankEnable, int bubbleEnable, size_t siteCount);

// Parses a whole payload; false with a reason when it is not well-formed.
// Each site keeps its line when keepLines is set.
bool parsePayload(const char* payload, size_t size, BankContent& content, bool keepLines, std::string& why);

}  // namespace qovi
