#include "registry/undofile.h"

#include "core/codepage.h"
#include "registry/regscan.h"

#include <cstdio>
#include <cstring>
#include <vector>

std::string MakeUndoFileName(const std::tm& localTime) {
    char name[64];
    if (!std::strftime(name, sizeof name, "%d %b %Y %I %M %p", &localTime)) return std::string();
    return std::string(name) + ".reg";
}

std::string MakeUndoFileName() {
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    return MakeUndoFileName(local);
}

namespace {

const wchar_t kHeader[] = L"Windows Registry Editor Version 5.00";
const wchar_t kByteOrderMark = 0xFEFF;
// Key names are at most 255 characters, value names 16,383.
const DWORD kKeyNameChars = 256;
const DWORD kValueNameChars = 16384;

std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + 8);
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    return out;
}

bool HasLineBreak(const std::wstring& name) { return name.find_first_of(L"\r\n") != std::wstring::npos; }

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// All the bytes as "xx," with a continuation after every 21st byte past the first (so the
// first line carries 22 bytes, the others 21) while more bytes follow.
std::wstring ByteList(const BYTE* bytes, DWORD size) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(size * 3 + size / 7 + 2);
    for (DWORD i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
        out += L',';
        if (i > 0 && i % 21 == 0 && i + 1 < size) out += L"\\\n";
    }
    out += L"\n";
    return out;
}

// A string the quoted form gives back unchanged: whole characters ending in one terminating
// zero, nothing after it, no line breaks (a line break would end the line in the middle of the
// value) and no half of a surrogate pair.
bool QuotedFormKeepsString(const BYTE* bytes, DWORD size, std::wstring& text) {
    if (size < sizeof(wchar_t) || size % sizeof(wchar_t)) return false;
    const size_t n = size / sizeof(wchar_t);
    text.assign(n, L'\0');
    std::memcpy(&text[0], bytes, size);
    if (text[n - 1] != L'\0') return false;
    text.pop_back();
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\0' || c == L'\r' || c == L'\n' || IsLowSurrogate(c)) return false;
        if (IsHighSurrogate(c)) {
            if (i + 1 == text.size() || !IsLowSurrogate(text[i + 1])) return false;
            ++i;
        }
    }
    return true;
}

// The registry editor ends text data of the string types with a zero character when the file
// does not, so text of an odd size or without its terminating zero cannot come back as it was.
bool TextDataComesBack(DWORD type, const BYTE* bytes, DWORD size) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return true;
    if (size == 0) return true;
    return size % sizeof(wchar_t) == 0 && bytes[size - 1] == 0 && bytes[size - 2] == 0;
}

// A registry link opens as the key it points to; its own content is one REG_LINK value, which
// no .reg file can make again. It is asked for only on keys opened with REG_OPTION_OPEN_LINK.
bool IsRegistryLink(HKEY key) {
    DWORD type = REG_NONE;
    return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

}  // namespace

std::wstring FormatRegData(DWORD type, const BYTE* bytes, DWORD size) {
    switch (type) {
    case REG_SZ: {
        std::wstring text;
        if (QuotedFormKeepsString(bytes, size, text)) return L"\"" + Escape(text) + L"\"\n";
        break;
    }
    case REG_DWORD:
        if (size == 4) {
            DWORD v = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24);
            wchar_t line[32];
            std::swprintf(line, 32, L"dword:%08lx\n", v);
            return line;
        }
        break;
    case REG_BINARY:
        return L"hex:" + ByteList(bytes, size);
    default:
        break;
    }
    // Every other type, and values the forms above would change, as typed bytes. The registry
    // editor reads the type number in hexadecimal.
    wchar_t prefix[32];
    std::swprintf(prefix, 32, L"hex(%lx):", type);
    return prefix + ByteList(bytes, size);
}

std::wstring FormatRegValueName(const std::wstring& name) {
    if (name.empty()) return L"@ = ";
    return L"\"" + Escape(name) + L"\" = ";
}

std::string RegKeyFullName(HKEY root, const std::string& keyPath) {
    RegRootInfo info;
    std::string rootName = GetRegRootInfo(root, info) ? info.name : "";
    return keyPath.empty() ? rootName : rootName + "\\" + keyPath;
}

bool UndoFile::open(const std::string& path) {
    close();
    refusal_ = UndoRefusal::kNone;
    file_ = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return false;
    path_ = path;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file_, &size)) {
        close();
        return false;
    }
    if (size.QuadPart == 0) {
        if (Write(std::wstring(1, kByteOrderMark) + kHeader + L"\n")) return true;
        close();
        return false;
    }
    // Another removal of this minute made the file: append to it only when it is this form,
    // whole characters from a header of ours.
    const DWORD headerBytes = static_cast<DWORD>((1 + std::wcslen(kHeader)) * sizeof(wchar_t));
    std::vector<wchar_t> start(headerBytes / sizeof(wchar_t));
    DWORD got = 0;
    std::wstring expected = std::wstring(1, kByteOrderMark) + kHeader;
    if (size.QuadPart % sizeof(wchar_t) == 0 && ::ReadFile(file_, start.data(), headerBytes, &got, nullptr) &&
        got == headerBytes && std::wstring(start.data(), start.size()) == expected)
        return true;
    close();
    return false;
}

void UndoFile::close() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

bool UndoFile::Write(const std::wstring& text) {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    std::wstring out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (wchar_t c : text) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    LARGE_INTEGER zero = {};
    if (!::SetFilePointerEx(file_, zero, nullptr, FILE_END)) return false;
    const DWORD bytes = static_cast<DWORD>(out.size() * sizeof(wchar_t));
    DWORD written = 0;
    return ::WriteFile(file_, out.data(), bytes, &written, nullptr) && written == bytes;
}

bool UndoFile::AppendValue(HKEY key, const std::wstring& name, std::wstring& out) {
    std::vector<BYTE> data;
    DWORD type = REG_NONE, size = 0;
    LONG rc = ERROR_SUCCESS;
    for (int attempt = 0;; ++attempt) {
        rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS) break;
        data.assign(size + sizeof(wchar_t), 0);
        DWORD got = size;
        rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &got);
        size = got;
        // The value grew between the two calls: ask again.
        if (rc != ERROR_MORE_DATA || attempt == 3) break;
    }
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) return Refuse(UndoRefusal::kUnreadable);
    if (!TextDataComesBack(type, data.data(), size)) return Refuse(UndoRefusal::kNotWritable);
    out += FormatRegValueName(name) + FormatRegData(type, data.data(), size);
    return true;
}

bool UndoFile::AppendKey(HKEY key, const std::wstring& fullName, std::wstring& out) {
    if (IsRegistryLink(key)) return Refuse(UndoRefusal::kUnreadable);
    for (DWORD index = 0;; ++index) {
        wchar_t name[kKeyNameChars];
        DWORD len = kKeyNameChars;
        LONG rc = ::RegEnumKeyExW(key, index, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return Refuse(UndoRefusal::kUnreadable);
        std::wstring child(name, len);
        if (HasLineBreak(child)) return Refuse(UndoRefusal::kNotWritable);
        HKEY sub = nullptr;
        rc = ::RegOpenKeyExW(key, child.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &sub);
        if (rc == ERROR_FILE_NOT_FOUND) continue;  // deleted meanwhile
        if (rc != ERROR_SUCCESS) return Refuse(UndoRefusal::kUnreadable);
        bool ok = AppendKey(sub, fullName + L"\\" + child, out);
        ::RegCloseKey(sub);
        if (!ok) return false;
    }
    // The key's own header comes even when it has no values, so an empty key comes back too.
    const std::wstring header = L"\n[" + fullName + L"]\n";
    out += header;
    if (!AppendValue(key, L"", out)) return false;
    std::vector<wchar_t> name(kValueNameChars + 1);
    for (DWORD index = 0;; ++index) {
        DWORD len = kValueNameChars;
        LONG rc = ::RegEnumValueW(key, index, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return Refuse(UndoRefusal::kUnreadable);
        std::wstring valueName(name.data(), len);
        if (HasLineBreak(valueName)) return Refuse(UndoRefusal::kNotWritable);
        out += header;
        if (!AppendValue(key, valueName, out)) return false;
    }
    return true;
}

bool UndoFile::ExportValue(HKEY root, const std::string& keyPath, const std::string& valueName) {
    refusal_ = UndoRefusal::kNone;
    const std::wstring fullName = WideName(RegKeyFullName(root, keyPath));
    const std::wstring name = WideName(valueName);
    if (HasLineBreak(fullName) || HasLineBreak(name)) return Refuse(UndoRefusal::kNotWritable);
    std::wstring entry = L"\n[" + fullName + L"]\n";
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExW(root, WideName(keyPath).c_str(), 0, KEY_QUERY_VALUE, &key);
    if (rc == ERROR_SUCCESS) {
        bool ok = AppendValue(key, name, entry);
        ::RegCloseKey(key);
        if (!ok) return false;
    } else if (rc != ERROR_FILE_NOT_FOUND) {
        return Refuse(UndoRefusal::kUnreadable);
    }
    // A value (or key) that is gone leaves its key line only.
    return Write(entry) || Refuse(UndoRefusal::kWriteFailed);
}

bool UndoFile::ExportKey(HKEY root, const std::string& keyPath) {
    refusal_ = UndoRefusal::kNone;
    const std::wstring fullName = WideName(RegKeyFullName(root, keyPath));
    if (HasLineBreak(fullName)) return Refuse(UndoRefusal::kNotWritable);
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExW(root, WideName(keyPath).c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key);
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) return Refuse(UndoRefusal::kUnreadable);
    std::wstring text;
    bool ok = AppendKey(key, fullName, text);
    ::RegCloseKey(key);
    if (!ok) return false;
    return Write(text) || Refuse(UndoRefusal::kWriteFailed);
}
