// StoreTestHelper - a second process on the store, for the store tests.
//
//   StoreTestHelper edit OP...   load, apply the operations, save once;
//                                exits with the first nonzero result
//     add NAME URL USER PASSWORD | rename OLD NEW | remove NAME |
//     value SITE KEY1 KEY2 VALUE | removeinput SITE KEY1 KEY2 |
//     pwdbank 0|1 | bubble 0|1
#include "QOVICommon.h"

#include <string>

namespace {

QOVINewWebItem site(const std::wstring& name, const std::wstring& url, const std::wstring& user,
                    const std::wstring& password)
{
    return QOVINewWebItem{name, url, L"loginForm", L"login",
                          {{L"user", L"username", L"text", user}, {L"pass", L"password", L"password", password}}};
}

int edit(int argc, wchar_t** argv)
{
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    if (COMMON_RESULT result = user->load(1))
        return 100 + result;
    QOVIPasswordBank* bank = user->getPWDBankInfo();
    for (int i = 2; i < argc;) {
        std::wstring op = argv[i];
        auto has = [&](int count) { return i + count < argc; };
        COMMON_RESULT result = COMMON_ERR_INVALID_ARG;
        int used = 1;
        if (op == L"add" && has(4)) {
            result = bank->addWebItem(site(argv[i + 1], argv[i + 2], argv[i + 3], argv[i + 4]));
            used = 5;
        } else if (op == L"rename" && has(2)) {
            result = bank->modifyWebItemName(argv[i + 1], argv[i + 2]);
            used = 3;
        } else if (op == L"remove" && has(1)) {
            result = bank->removeWebItem(argv[i + 1], L"");
            used = 2;
        } else if (op == L"value" && has(4)) {
            result = bank->modifyInputItemValue(argv[i + 1], argv[i + 2], argv[i + 3], argv[i + 4]);
            used = 5;
        } else if (op == L"removeinput" && has(3)) {
            result = bank->removeInputItem(argv[i + 1], argv[i + 2], argv[i + 3]);
            used = 4;
        } else if (op == L"pwdbank" && has(1)) {
            user->setPWDBankEnable(std::stoi(argv[i + 1]));
            result = COMMON_OK;
            used = 2;
        } else if (op == L"bubble" && has(1)) {
            user->setBubbleEnable(std::stoi(argv[i + 1]));
            result = COMMON_OK;
            used = 2;
        }
        if (result != COMMON_OK)
            return 200 + result;
        i += used;
    }
    return user->save(1);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring command = argc > 1 ? argv[1] : L"";
    int code = 2;
    if (command == L"edit")
        code = edit(argc, argv);
    QOVIUserInfoManager::releaseUsers();
    QOVILog::endLog();
    return code;
}
