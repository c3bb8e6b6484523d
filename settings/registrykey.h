// Where the key is in the registry on Windows, for the files that open it.
#ifndef REGISTRYKEY_H
#define REGISTRYKEY_H

// Under HKEY_CURRENT_USER.
inline constexpr wchar_t keyName[] = L"SOFTWARE\\screen-capture-rvk";

#endif // REGISTRYKEY_H
