// StoreTestHelper - a second process on the store, for the store tests.
//
//   StoreTestHelper edit OP...   load, apply the operations, save once;
//                                exits with the first nonzero result
//     add NAME URL USER PASSWORD | rename OLD NEW | remove NAME | removeinput SITE KEY1 KEY2 |
//     value SITE KEY1 KEY2 VALUE | pwdbank 0|1 | bubble 0|1
#include "QOVICommon.h"

#include <cstdlib>
#include <string>

namespace {

struct Operation {
    const wchar_t* name;
    int arguments;
    COMMON_RESULT (*apply)(QOVIUserInfo* user, wchar_t** a);
};

const Operation kOperations[] = {
    {L"add", 4, [](QOVIUserInfo* u, wchar_t** a) {
         return u->getPWDBankInfo()->addWebItem(QOVINewWebItem{
             a[0], a[1], L"loginForm", L"login",
             {{L"user", L"username", L"text", a[2]}, {L"pass", L"password", L"password", a[3]}}});
     }},
    {L"rename", 2, [](QOVIUserInfo* u, wchar_t** a) { return u->getPWDBankInfo()->modifyWebItemName(a[0], a[1]); }},
    {L"remove", 1, [](QOVIUserInfo* u, wchar_t** a) { return u->getPWDBankInfo()->removeWebItem(a[0], L""); }},
    {L"removeinput", 3,
     [](QOVIUserInfo* u, wchar_t** a) { return u->getPWDBankInfo()->removeInputItem(a[0], a[1], a[2]); }},
    {L"value", 4,
     [](QOVIUserInfo* u, wchar_t** a) { return u->getPWDBankInfo()->modifyInputItemValue(a[0], a[1], a[2], a[3]); }},
    {L"pwdbank", 1,
     [](QOVIUserInfo* u, wchar_t** a) { u->setPWDBankEnable(_wtoi(a[0])); return COMMON_RESULT(COMMON_OK); }},
    {L"bubble", 1,
     [](QOVIUserInfo* u, wchar_t** a) { u->setBubbleEnable(_wtoi(a[0])); return COMMON_RESULT(COMMON_OK); }},
};

int edit(int argc, wchar_t** argv)
{
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    if (COMMON_RESULT result = user->load(1))
        return 100 + result;
    for (int i = 2; i < argc;) {
        const Operation* op = nullptr;
        for (const Operation& candidate : kOperations)
            op = std::wstring(argv[i]) == candidate.name && i + candidate.arguments < argc ? &candidate : op;
        COMMON_RESULT result = op ? op->apply(user, argv + i + 1) : COMMON_ERR_INVALID_ARG;
        if (result != COMMON_OK)
            return 200 + result;
        i += 1 + op->arguments;
    }
    return user->save(1);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int code = argc > 1 && std::wstring(argv[1]) == L"edit" ? edit(argc, argv) : 2;
    QOVIUserInfoManager::releaseUsers();
    QOVILog::endLog();
    return code;
}
